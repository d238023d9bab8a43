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

}  // namespace tf::listing
