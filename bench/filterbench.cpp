// Figures for the node list's filter: one update of the rows on a large scene in each match
// mode, allocations while matching, and the regular-expression engine beside std::regex on
// ordinary, long and hostile input. Usage: filterbench [NODES [LINES]] (100000 12).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <regex>
#include <string>

#include "filterrun.h"
#include "linematcher.h"

namespace {

std::atomic<long> allocations{0};

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void BuildScene(Scene& scene, int nodes, int lines)
{
    SceneNode* group = scene.Root();
    for (int i = 0; i < nodes; ++i) {
        std::string text;
        for (int line = 0; line < lines; ++line) {
            if (line) text += "\r\n";
            text += "prop" + std::to_string(line) + "=" + (i % 10 == 0 ? "animated" : "static") +
                    std::to_string(i);
        }
        if (i % 100 == 0)
            group = scene.CreateNode(scene.Root(), ("group" + std::to_string(i)).c_str());
        scene.CreateNode(group, ("node" + std::to_string(i)).c_str(), text.c_str());
    }
}

void TimeUpdate(const NodeListing& nodes, MatchMode mode, const char* name,
                const char* pattern)
{
    LineMatcher matcher;
    if (!matcher.Compile(mode, pattern)) {
        std::printf("%-20s %-24s invalid: %s\n", name, pattern, matcher.Error().c_str());
        return;
    }
    std::atomic<bool> cancel{false};
    FilterResult result;
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const Clock::time_point start = Clock::now();
        RunFilter(nodes, matcher, cancel, result);
        const double ms = MillisecondsSince(start);
        if (ms < best) best = ms;
    }
    std::printf("%-20s %-24s %8.1f ms  %s\n", name, pattern, best, result.CountText().c_str());
}

// Allocations while every line of the scene is matched once, after one warm-up pass.
void CountAllocations(const NodeListing& nodes, MatchMode mode, const char* name,
                      const char* pattern)
{
    LineMatcher matcher;
    matcher.Compile(mode, pattern);
    long lines = 0;
    for (int pass = 0; pass < 2; ++pass) {
        const long before = allocations;
        lines = 0;
        for (int i = 0; i < nodes.Count(); ++i) {
            const char* at = nodes.TextBegin(i);
            const char* end = nodes.TextEnd(i);
            while (at < end) {
                const char* lineEnd = at;
                while (lineEnd < end && *lineEnd != '\r' && *lineEnd != '\n') ++lineEnd;
                if (lineEnd > at) {
                    matcher.Match(at, lineEnd);
                    ++lines;
                }
                at = lineEnd + 1;
            }
        }
        if (pass == 1)
            std::printf("%-20s %ld allocations over %ld lines\n", name, allocations - before,
                        lines);
    }
}

template <class Search>
void TimeEngine(const char* engine, const char* pattern, const char* input, Search search)
{
    const Clock::time_point start = Clock::now();
    std::string outcome;
    try {
        outcome = search() ? "match" : "no match";
    } catch (const std::exception& e) {
        outcome = std::string("gave up: ") + e.what();
    }
    outcome.resize(outcome.size() < 60 ? outcome.size() : 60);
    std::printf("%-12s %-12s %-22s %9.1f ms  %s\n", engine, pattern, input,
                MillisecondsSince(start), outcome.c_str());
}

void CompareEngines()
{
    std::printf("\nRegular expressions, std::regex beside the engine the filter uses (boost):\n");
    std::string lines;
    for (int i = 0; i < 100000; ++i)
        lines += "prop" + std::to_string(i % 12) + "=value" + std::to_string(i) + "\n";
    for (const char* pattern : {"value9+$", "^prop1[0-9]?=", "anim"}) {
        const std::regex standard(pattern, std::regex::ECMAScript | std::regex::multiline);
        const boost::regex ours(pattern, boost::regex::ECMAScript);
        auto count = [&lines](auto& search) {
            size_t at = 0;
            int matches = 0;
            while (at < lines.size()) {
                const size_t end = lines.find('\n', at);
                matches += search(lines.data() + at, lines.data() + end);
                at = end + 1;
            }
            return matches > 0;
        };
        TimeEngine("std::regex", pattern, "100,000 short lines", [&] {
            auto search = [&](const char* b, const char* e) {
                return std::regex_search(b, e, standard);
            };
            return count(search);
        });
        TimeEngine("boost", pattern, "100,000 short lines", [&] {
            auto search = [&](const char* b, const char* e) {
                return boost::regex_search(b, e, ours);
            };
            return count(search);
        });
    }
    const std::string longLine(10000, 'a');
    const std::string hugeLine(100000, 'a');
    for (const char* pattern : {"(a*)*b", "(a|aa)*c", "a.*z", "(a|b)*z"}) {
        LineMatcher matcher;
        matcher.Compile(MatchMode::RegularExpression, pattern);
        for (const std::string* line : {&longLine, &hugeLine}) {
            const Clock::time_point start = Clock::now();
            const LineMatch match = matcher.Match(line->data(), line->data() + line->size());
            std::printf("%-12s %-12s %-22s %9.1f ms  %s\n", "filter", pattern,
                        line == &longLine ? "10,000 x a" : "100,000 x a (capped)",
                        MillisecondsSince(start),
                        match == LineMatch::GaveUp ? "gave up"
                        : match == LineMatch::Yes  ? "match"
                                                   : "no match");
        }
    }
    // std::regex has no bound: its time doubles with each further character.
    for (int length : {10, 12, 14, 16}) {
        const std::string as(length, 'a');
        const std::regex hostile("(a*)*b");
        TimeEngine("std::regex", "(a*)*b", (std::to_string(length) + " x a").c_str(),
                   [&] { return std::regex_search(as, hostile); });
    }
}

}  // namespace

void* operator new(size_t size)
{
    ++allocations;
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, size_t) noexcept { std::free(memory); }

int main(int argc, char** argv)
{
    const int nodes = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int lines = argc > 2 ? std::atoi(argv[2]) : 12;
    Scene scene;
    BuildScene(scene, nodes, lines);
    std::printf("%d nodes of %d lines; best of three updates:\n", scene.NodeCount(), lines);
    Clock::time_point start = Clock::now();
    const auto listing = NodeListing::Take(scene);
    std::printf("%-45s %8.1f ms\n", "listing the nodes (after a change)", MillisecondsSince(start));
    TimeUpdate(*listing, MatchMode::StartsWith, "starts with", "prop3=anim");
    TimeUpdate(*listing, MatchMode::Contains, "contains", "animated");
    TimeUpdate(*listing, MatchMode::Wildcard, "wildcard", "*=animated?0");
    TimeUpdate(*listing, MatchMode::RegularExpression, "regular expression", "=animated[0-9]*0$");
    TimeUpdate(*listing, MatchMode::RegularExpression, "regular expression", "^prop1[01]=");
    std::printf("\n");
    CountAllocations(*listing, MatchMode::Contains, "contains", "animated");
    CountAllocations(*listing, MatchMode::Wildcard, "wildcard", "*=animated?0");
    CountAllocations(*listing, MatchMode::RegularExpression, "regular expression",
                     "=animated[0-9]*0$");
    CompareEngines();
    return 0;
}
