#pragma once

#include <QImage>
#include <QRect>
#include <string>
#include <sys/types.h>
#include <vector>

namespace qmtest {

// A virtual X server of the test's own, on the first display number that no other server holds,
// with one screen of the given size. It is stopped when this object goes.
class TXServer {
public:
    TXServer(int width, int height);
    ~TXServer();
    TXServer(const TXServer&) = delete;
    TXServer& operator=(const TXServer&) = delete;

    // ":N"
    const std::string& Display() const noexcept { return display_; }

    // Runs an X client program (a command line without DISPLAY) against this server; its output.
    std::string Run(const std::string& command) const;
    // The whole screen as the server shows it.
    QImage Screenshot() const;

    // Real pointer events: the pointer moves there (hover), then the left button goes down and up.
    void MoveMouse(QPoint at) const;
    void Click(QPoint at) const;

    // The visible top-level window of process pid on this server, and its frame on the screen;
    // an empty rectangle when there is none.
    QRect WindowOf(pid_t pid) const;
    // The frame of the visible top-level window captioned exactly title; empty when there is none.
    QRect WindowNamed(const std::string& title) const;
    // The frames of all visible top-level windows of process pid.
    std::vector<QRect> WindowsOf(pid_t pid) const;

private:
    // The frames of the windows whose ids xdotool printed.
    std::vector<QRect> Frames(const std::string& windowIds) const;

    pid_t pid_ = -1;
    std::string display_;
};

} // namespace qmtest
