#include "win32file.h"

#include "writefile.h"

namespace qrfiles::win32 {

namespace {

struct LocalFreer {
    void operator()(wchar_t* Text) const { LocalFree(Text); }
};

}  // namespace

void HandleCloser::operator()(void* Handle) const { CloseHandle(Handle); }

std::optional<std::wstring> Widen(std::string_view Text) {
    std::wstring Wide;
    if (Text.empty())
        return Wide;
    const int Length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
    if (Length <= 0)
        return std::nullopt;
    Wide.resize(static_cast<std::size_t>(Length));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Text.data(), static_cast<int>(Text.size()), Wide.data(), Length);
    return Wide;
}

std::string Narrow(std::wstring_view Wide) {
    if (Wide.empty())
        return {};
    const int Length =
        WideCharToMultiByte(CP_UTF8, 0, Wide.data(), static_cast<int>(Wide.size()), nullptr, 0, nullptr, nullptr);
    std::string Text(static_cast<std::size_t>(Length > 0 ? Length : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Wide.data(), static_cast<int>(Wide.size()), Text.data(), Length, nullptr, nullptr);
    return Text;
}

std::string SystemText(DWORD Error) {
    wchar_t* Buffer = nullptr;
    const DWORD Length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, Error, 0, reinterpret_cast<wchar_t*>(&Buffer), 0, nullptr);
    const std::unique_ptr<wchar_t, LocalFreer> Owner(Buffer);
    if (Length == 0)
        return "Error " + std::to_string(Error);
    return TrimErrorText(Narrow(std::wstring_view(Buffer, Length)));
}

DWORD WriteHandle(HANDLE File, std::span<const unsigned char> Bytes) {
    while (!Bytes.empty()) {
        // WriteFile takes a DWORD count: a gibibyte at a time.
        const DWORD Chunk = Bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(Bytes.size());
        DWORD Written = 0;
        if (!WriteFile(File, Bytes.data(), Chunk, &Written, nullptr))
            return GetLastError();
        if (Written == 0)
            return ERROR_WRITE_FAULT;
        Bytes = Bytes.subspan(Written);
    }
    return 0;
}

Failure Cannot(std::string_view Doing, std::string_view Path, DWORD Error) {
    std::string Text = "cannot ";
    Text += Doing;
    Text += " \"";
    Text += Path;
    Text += "\": ";
    Text += SystemText(Error);
    return {std::move(Text)};
}

std::optional<Information> InformationOf(HANDLE File) {
    BY_HANDLE_FILE_INFORMATION Info{};
    if (!GetFileInformationByHandle(File, &Info))
        return std::nullopt;
    Information I;
    I.Attributes = Info.dwFileAttributes;
    I.Id = {Info.dwVolumeSerialNumber, static_cast<std::uint64_t>(Info.nFileIndexHigh) << 32 | Info.nFileIndexLow};
    return I;
}

std::wstring FinalPath(HANDLE File) {
    std::wstring Path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD Length = GetFinalPathNameByHandleW(File, Path.data(), static_cast<DWORD>(Path.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (Length == 0)
            return {};
        if (Length < Path.size()) {
            Path.resize(Length);
            return Path;
        }
        Path.resize(Length);
    }
}

bool DirectlyIn(std::wstring_view Path, std::wstring_view Folder) {
    while (!Folder.empty() && Folder.back() == L'\\') Folder.remove_suffix(1);
    const std::size_t Slash = Path.rfind(L'\\');
    if (Folder.empty() || Slash == std::wstring_view::npos || Slash + 1 == Path.size())
        return false;
    const std::wstring_view Parent = Path.substr(0, Slash);
    return CompareStringOrdinal(Parent.data(), static_cast<int>(Parent.size()), Folder.data(),
                                static_cast<int>(Folder.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace qrfiles::win32
