// The window's run against tallyfold-list.exe on the same tree, and how long
// a run takes to end after Stop inside a wide folder; each part is skipped
// without its folder:
//   TALLYFOLD_BENCH_TREE='Z:\...\tree' TALLYFOLD_BENCH_WIDE='Z:\...\wide'
//   TALLYFOLD_LIST_EXE='Z:\...\tallyfold-list.exe' [TALLYFOLD_BENCH_STOP_MS=1000]
//   form1_run_bench.exe [--gtest_filter='*StopInsideAWideFolder']
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "child_process.h"
#include "mainwindow/form1_fixture.h"

namespace tf::mainwindow::testing {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string Setting(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs the command-line tool to the end; its wall time.
double RunTool(const std::string& exe, const std::string& tree, const std::string& report) {
    const auto start = Clock::now();
    const int code = tf::testing::ChildProcess("\"" + exe + "\" --output \"" + report + "\" \"" + tree + "\"").Wait();
    const auto end = Clock::now();
    if (code == tf::testing::ChildProcess::kStillRunning) return -1;
    return Seconds(end - start);
}

class Form1RunBench : public Form1Test {};

TEST_F(Form1RunBench, TheWindowsRunAgainstTheCommandLine) {
    const std::string tree = Setting("TALLYFOLD_BENCH_TREE"), exe = Setting("TALLYFOLD_LIST_EXE");
    if (tree.empty() || exe.empty()) GTEST_SKIP() << "TALLYFOLD_BENCH_TREE and TALLYFOLD_LIST_EXE";
    std::vector<double> window, tool;
    for (int round = 0; round < 3; ++round) {
        form().SetSourceFolder(tree);
        const auto start = Clock::now();
        Click(Control::Command1);
        window.push_back(Seconds(Clock::now() - start));
        tool.push_back(RunTool(exe, tree, root_ + "\\tool.txt"));
    }
    EXPECT_EQ(Report("Tallyfold.txt"), ReadFile(root_ + "\\tool.txt"));
    std::printf("window %.3f s, tallyfold-list.exe %.3f s, ratio %.2f (medians of 3)\n", Median(window),
                Median(tool), Median(window) / Median(tool));
}

Clock::time_point g_stopAt;
Form1* g_form = nullptr;

void CALLBACK StopNow(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    g_stopAt = Clock::now();
    SendMessageA(g_form->Item(Control::Command2), BM_CLICK, 0, 0);
}

TEST_F(Form1RunBench, StopInsideAWideFolder) {
    const std::string wide = Setting("TALLYFOLD_BENCH_WIDE");
    if (wide.empty()) GTEST_SKIP() << "TALLYFOLD_BENCH_WIDE";
    for (const char* order : {"No order", "Name"}) {
        SetText(Control::orderby, order);
        form().SetSourceFolder(wide);
        g_form = &form();
        // Some time into the run (a second unless TALLYFOLD_BENCH_STOP_MS
        // says), from inside its event handling, Stop.
        const std::string after = Setting("TALLYFOLD_BENCH_STOP_MS");
        const UINT_PTR timer = SetTimer(nullptr, 0, after.empty() ? 1000 : std::stoul(after), StopNow);
        ASSERT_NE(timer, 0u);
        g_stopAt = {};
        Click(Control::Command1);
        const auto end = Clock::now();
        ASSERT_NE(g_stopAt, Clock::time_point{}) << "the run ended before Stop";
        const std::string report = Report("Tallyfold.txt");
        EXPECT_EQ(report.substr(report.size() - 64), std::string(62, '*') + "\r\n");
        std::printf("%s: Stop to the completed report %.3f s, %llu files listed\n", order, Seconds(end - g_stopAt),
                    static_cast<unsigned long long>(form().totals().totalFiles));
    }
}

}  // namespace
}  // namespace tf::mainwindow::testing
