// Helpers of the printer tests: the test printers, output files in the build
// tree, and pages rendered with Ghostscript (run through Wine's ability to
// start a Unix program) read back as pixels.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace tessary::test {

// True when "Proof Letter" and "Proof A4" are installed in this prefix.
bool TestPrintersInstalled();

// A folder for printed output below the build tree (Windows path, ending in
// a backslash), and the Unix path of a Z: path.
std::wstring OutputDir();
std::string UnixPath(const std::wstring& windowsPath);
bool FileExists(const std::wstring& path);
std::string ReadFile(const std::wstring& path);

struct Rgb {
    int r, g, b;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;  // RGB, row by row
    Rgb At(int x, int y) const {
        const unsigned char* p = &pixels[(static_cast<size_t>(y) * width + x) * 3];
        return {p[0], p[1], p[2]};
    }
};

// The pages of a PostScript file at 72 dpi (one pixel per point); an empty
// list when Ghostscript is missing or fails.
bool GhostscriptAvailable();
std::vector<Image> RenderPages(const std::wstring& psFile);

// The smallest rectangle (right and bottom exclusive) holding every pixel of
// `area` for which `match` is true; empty when there is none.
template <class Match>
RECT FindBox(const Image& image, RECT area, Match match) {
    RECT box = {area.right, area.bottom, area.left, area.top};
    for (int y = area.top; y < area.bottom && y < image.height; ++y)
        for (int x = area.left; x < area.right && x < image.width; ++x)
            if (match(image.At(x, y))) {
                if (x < box.left) box.left = x;
                if (y < box.top) box.top = y;
                if (x + 1 > box.right) box.right = x + 1;
                if (y + 1 > box.bottom) box.bottom = y + 1;
            }
    if (box.left >= box.right) return RECT{0, 0, 0, 0};
    return box;
}

inline bool IsInk(Rgb c) { return c.r < 160 || c.g < 160 || c.b < 160; }
inline bool IsDark(Rgb c) { return c.r < 80 && c.g < 80 && c.b < 80; }
inline bool IsWhite(Rgb c) { return c.r > 230 && c.g > 230 && c.b > 230; }
inline bool IsRed(Rgb c) { return c.r > 180 && c.g < 90 && c.b < 90; }
inline bool IsGreen(Rgb c) { return c.g > 150 && c.r < 100 && c.b < 100; }

}  // namespace tessary::test
