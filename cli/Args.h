#pragma once
// A small command-line reader shared by the subcommands of pixaroll-cli.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class TUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An option the command does not take: the message names it, and the command line adds the
// nearest option the command does take.
class TUnknownOption : public TUsageError {
public:
    explicit TUnknownOption(const std::string& option) : TUsageError("unknown option " + option), option_(option) {}
    const std::string& Option() const { return option_; }

private:
    std::string option_;
};

class TArgs {
public:
    explicit TArgs(std::vector<std::string> args) : args_(std::move(args)) {}

    bool AtEnd() const { return pos_ >= args_.size(); }
    const std::string& Peek() const { return args_.at(pos_); }
    std::string Next() { return args_.at(pos_++); }
    // The value after an option; throws TUsageError when it is missing.
    std::string Value(const std::string& option) {
        if (AtEnd())
            throw TUsageError("option " + option + " needs a value");
        return Next();
    }
    // Every following argument up to the next option: one starting with "--", or "-o", the one
    // short option the commands take ("frames --pictures a.jpg b.jpg -o DIR" must not read
    // "-o" and DIR as pictures).
    std::vector<std::string> List() {
        std::vector<std::string> out;
        while (!AtEnd() && Peek().rfind("--", 0) != 0 && Peek() != "-o")
            out.push_back(Next());
        return out;
    }

private:
    std::vector<std::string> args_;
    std::size_t pos_ = 0;
};

int ParseInt(const std::string& text, const std::string& what);
double ParseDouble(const std::string& text, const std::string& what);
// The largest frame side the commands accept.
constexpr int MaxFrameSide = 8192;
// The most values a list of integers may expand to.
constexpr int MaxListLength = 100000;

// "WxH" with both above zero and neither above MaxFrameSide.
void ParseSize(const std::string& text, int& width, int& height);
// "N:D" or "N/D" with both above zero.
void ParseRate(const std::string& text, int& num, int& den);
// Comma-separated integers and ranges: "1,5,10-20".
std::vector<int> ParseIntList(const std::string& text, const std::string& what);
// A seed of the random generator: 0 to 4294967295, the whole range of its state.
std::uint32_t ParseSeed(const std::string& text, const std::string& what);
