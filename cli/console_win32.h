#pragma once
// quandrel-qr's standard streams as Windows programs have them, made to behave as Linux's do.

namespace qrcli {

// While it lives: standard input, output and error in binary mode, so that bytes pass unchanged
// (the C library would turn each LF written into CR LF, and stop reading at a Ctrl+Z byte), and
// the console's output code page UTF-8, so that the terminal preview's block characters and the
// messages' text show as they are. The console's code page belongs to the console, not to the
// program, so the one it had is put back at the end, and when Ctrl+C or a closed console window
// ends the program instead.
class WindowsStreams {
public:
    WindowsStreams();
    ~WindowsStreams();
    WindowsStreams(const WindowsStreams&) = delete;
    WindowsStreams& operator=(const WindowsStreams&) = delete;
};

}  // namespace qrcli
