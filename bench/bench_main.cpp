// Runs every benchmark and then prints, for each pair registered with the names "<case>/lib"
// and "<case>/reference", how many times faster the reference is (items per second).
#include <cstdio>
#include <map>
#include <string>

#include <unistd.h>

#include <benchmark/benchmark.h>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    // Colours only on a terminal, so that the ratio lines stay plain text in a pipe.
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_None) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            auto it = r.counters.find("items_per_second");
            if (it != r.counters.end() && r.run_type == Run::RT_Iteration) {
                rates_[r.benchmark_name()] = it->second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const auto& [name, rate] : rates_) {
            const std::string suffix = "/lib";
            if (name.size() < suffix.size() ||
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
                continue;
            }
            std::string base = name.substr(0, name.size() - suffix.size());
            auto ref = rates_.find(base + "/reference");
            if (ref == rates_.end() || rate <= 0) continue;
            std::printf("%s: %.0f items/s, reference %.0f items/s, reference / library = %.2f\n",
                        base.c_str(), rate, ref->second, ref->second / rate);
        }
    }

  private:
    std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
