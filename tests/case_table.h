#ifndef TOCASE_TESTS_CASE_TABLE_H
#define TOCASE_TESTS_CASE_TABLE_H

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "process_runner.h"

namespace tocase {

// One behaviour of the tool, as tests/cases.txt states it.
struct Case {
    std::string title;
    std::set<std::string> needs;
    std::vector<std::string> tree;  // entries in the order they are made
    std::vector<std::string> arguments;
    std::string output;               // CR LF line ends
    std::vector<std::string> errors;  // without their reasons
    std::vector<std::string> after;   // sorted
};

const std::vector<Case>& allCases();
// A failing case is named by its title.
inline void PrintTo(const Case& c, std::ostream* out) { *out << c.title; }
// The title as a test name: "/R skips hidden" is "R_skips_hidden".
std::string caseName(const testing::TestParamInfo<Case>& info);

// Where the cases are played: a file system the level can fill, run the
// tool in and read back.
class Level {
public:
    virtual ~Level() = default;
    virtual bool has(const std::string& feature) const = 0;
    // Whether directories list their entries in the order they were made,
    // so the output must match in order too.
    virtual bool listsInOrderMade() const { return false; }
    virtual void makeDirectory(const std::string& path) = 0;
    virtual void makeFile(const std::string& path) = 0;  // holds its own name
    virtual void makeLink(const std::string& path, const std::string& target) = 0;
    virtual ToolOutput run(const std::vector<std::string>& arguments) = 0;
    // As describeTree() writes it.
    virtual std::vector<std::string> tree() = 0;
};

bool canPlay(const Level& level, const Case& c);
void playCase(Level& level, const Case& c);

// A level on a real directory, with the tool run as a process.
class DirectoryLevel : public Level {
public:
    DirectoryLevel(std::string root, std::set<std::string> features)
        : root_(std::move(root)), features_(std::move(features)) {}
    bool has(const std::string& feature) const override { return features_.contains(feature); }
    void makeDirectory(const std::string& path) override;
    void makeFile(const std::string& path) override;
    void makeLink(const std::string& path, const std::string& target) override;
    ToolOutput run(const std::vector<std::string>& arguments) override { return runTool(root_, arguments); }
    std::vector<std::string> tree() override { return describeTree(root_); }

private:
    std::string root_;
    std::set<std::string> features_;
};

}  // namespace tocase

#endif
