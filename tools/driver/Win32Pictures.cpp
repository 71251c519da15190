// The driver's pictures: what the screen shows of the window on top, and what
// the main window paints, saved as PNG files for the documentation.
#include "tools/driver/ProgramThread.h"
#include "tools/driver/Win32Windows.h"

#include <chrono>
#include <cstdint>
#include <fstream>
#include <thread>

using namespace driver;

namespace {

// A picture of what a device context holds, top-down 0xAARRGGBB.
struct Canvas {
    Canvas(int width, int height) : width(width), height(height)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        previous = SelectObject(dc, bitmap);
    }
    ~Canvas()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    Picture Take() const
    {
        GdiFlush();
        Picture picture{width, height, {}};
        for (int i = 0; i < width * height; ++i)
            picture.pixels.push_back(0xFF000000u | (bits[i] & 0xFFFFFFu));
        return picture;
    }

    int width;
    int height;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    unsigned* bits = nullptr;
};

std::uint32_t Crc32(const unsigned char* data, std::size_t size, std::uint32_t crc = 0)
{
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBigEndian(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

void PutChunk(std::string& out, const char* type, const std::string& data)
{
    PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    PutBigEndian(out, Crc32(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
}

// A PNG file with stored (uncompressed) deflate blocks: small code, valid file.
void SavePng(const Picture& picture, const std::string& path)
{
    std::string raw;
    for (int y = 0; y < picture.height; ++y) {
        raw += '\0';
        for (int x = 0; x < picture.width; ++x) {
            const unsigned pixel = picture.At(x, y);
            raw += static_cast<char>((pixel >> 16) & 0xFF);
            raw += static_cast<char>((pixel >> 8) & 0xFF);
            raw += static_cast<char>(pixel & 0xFF);
        }
    }
    std::string zlib = "\x78\x01";
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    for (std::size_t offset = 0; offset < raw.size() || offset == 0; offset += 65535) {
        const std::size_t size = std::min<std::size_t>(65535, raw.size() - offset);
        zlib += static_cast<char>(offset + size >= raw.size() ? 1 : 0);
        zlib += static_cast<char>(size & 0xFF);
        zlib += static_cast<char>(size >> 8);
        zlib += static_cast<char>(~size & 0xFF);
        zlib += static_cast<char>((~size >> 8) & 0xFF);
        zlib += raw.substr(offset, size);
        if (size == 0)
            break;
    }
    PutBigEndian(zlib, (b << 16) | a);
    std::string header;
    PutBigEndian(header, static_cast<std::uint32_t>(picture.width));
    PutBigEndian(header, static_cast<std::uint32_t>(picture.height));
    header += std::string("\x08\x02\x00\x00\x00", 5);
    std::string png = "\x89PNG\r\n\x1a\n";
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", zlib);
    PutChunk(png, "IEND", "");
    std::ofstream(path, std::ios::binary).write(png.data(), static_cast<std::streamsize>(png.size()));
}

} // namespace

// What the screen shows of the window on top: the system draws frames and
// controls on the screen only, so this needs a display (Wine's X11 driver).
void Driver::Screenshot(const std::string& path)
{
    Act([] {
        if (const HWND window = TopWindow())
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    });
    // The window system shows what was painted a moment later.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    OnGuiThread([path] {
        const HWND window = TopWindow();
        RECT area{};
        if (!window || !GetWindowRect(window, &area))
            return;
        Canvas canvas(area.right - area.left, area.bottom - area.top);
        const HDC screen = GetDC(nullptr);
        BitBlt(canvas.dc, 0, 0, canvas.width, canvas.height, screen, area.left, area.top, SRCCOPY);
        ReleaseDC(nullptr, screen);
        SavePng(canvas.Take(), path);
    });
}

Picture Driver::PaintMainWindowClient(WindowState state)
{
    return OnGuiThread([state] {
        NativeWindow* window = MainNativeWindow();
        if (!window)
            return Picture{};
        const HWND hwnd = window->Handle();
        RECT client{};
        GetClientRect(hwnd, &client);
        // Windows leaves a minimized window no client area at all; the style
        // bit alone makes it iconic to its own painting, at its usual size.
        const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
        if (state == WindowState::Minimized)
            SetWindowLongPtrW(hwnd, GWL_STYLE, style | WS_MINIMIZE);
        Canvas canvas(client.right, client.bottom);
        window->SetPaintTarget(canvas.dc);
        window->Window().SendMessage(WM_PAINT);
        window->SetPaintTarget(nullptr);
        SetWindowLongPtrW(hwnd, GWL_STYLE, style);
        return canvas.Take();
    });
}
