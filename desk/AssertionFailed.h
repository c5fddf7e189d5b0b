#pragma once

#include <exception>
#include <string>

namespace qm {

// A broken internal assumption of the desk widgets, reported like any other error: the message,
// the source unit and the line that checked it.
class EAssertionFailed : public std::exception {
public:
    EAssertionFailed(std::string message, std::string sourceFile, int line)
        : message_(std::move(message)), sourceFile_(std::move(sourceFile)), line_(line),
          text_(message_ + " (" + sourceFile_ + ", line " + std::to_string(line_) + ")") {}

    const std::string& Message() const noexcept { return message_; }
    const std::string& SourceFile() const noexcept { return sourceFile_; }
    int Line() const noexcept { return line_; }
    const char* ClassName() const noexcept { return "EAssertionFailed"; }

    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string message_;
    std::string sourceFile_;
    int line_;
    std::string text_;
};

} // namespace qm
