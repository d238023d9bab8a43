#pragma once
// The sinks of each format; CreateSink picks one.
#include <memory>
#include <string>

#include "listing/listing_sink.h"

namespace tf::listing {

std::unique_ptr<ListingSink> MakeTextSink(const std::string& path);
std::unique_ptr<ListingSink> MakeHtmlSink(const std::string& path);
std::unique_ptr<ListingSink> MakeCsvSink(const std::string& path);
std::unique_ptr<ListingSink> MakeJsonlSink(const std::string& path);
std::unique_ptr<ListingSink> MakeNcduSink(const std::string& path);
// Exchange formats: the audit file of a hashing tool, a BSD mtree
// specification, the EFU file list.
std::unique_ptr<ListingSink> MakeHashdeepSink(const std::string& path);
std::unique_ptr<ListingSink> MakeMtreeSink(const std::string& path);
std::unique_ptr<ListingSink> MakeEfuSink(const std::string& path);
// The report of files with the same content, as text, CSV or JSON Lines.
std::unique_ptr<ListingSink> MakeDuplicatesSink(ReportFormat format, const std::string& path,
                                               const DuplicatesReport& report);

}  // namespace tf::listing
