#pragma once
// The pictures a package carries. Each keeps the file bytes as stored, checked on load;
// the windows decode them for display.

#include "Streamer.h"

namespace folianto {

class EInvalidGraphic : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A PNG picture. The window shape of a skin needs the colour type, the alpha plane and
// whether a transparency chunk was present, so those are decoded here.
class TPngImage {
public:
    Bytes Data;                       // the PNG file
    int Width = 0;
    int Height = 0;
    int ColorType = -1;               // PNG colour type; -1 while empty
    bool HasTransparencyChunk = false;
    Bytes Alpha;                      // Width * Height values, row by row; colour types 4 and 6 only

    bool Empty() const { return Data.empty(); }
    bool HasAlphaChannel() const { return ColorType == 4 || ColorType == 6; }
    bool Transparent() const { return HasAlphaChannel() || HasTransparencyChunk; }
    std::uint8_t AlphaAt(int x, int y) const { return Alpha[static_cast<std::size_t>(y) * Width + x]; }

    // Replaces the picture; raises EInvalidGraphic (and leaves it empty) when the bytes
    // are not a complete, decodable PNG.
    void LoadFromBytes(const Bytes& bytes);
    void Clear();
};

// A Windows icon file (.ico), checked for a sound header and directory.
class TIconImage {
public:
    Bytes Data;
    bool Empty() const { return Data.empty(); }
    void LoadFromBytes(const Bytes& bytes);
};

// A Windows bitmap file (.bmp), checked for a sound header and pixel data size.
// Empty bytes give an empty bitmap.
class TBitmapImage {
public:
    Bytes Data;
    int Width = 0;
    int Height = 0;         // rows; positive whatever the stored row order
    bool Transparent = false;

    bool Empty() const { return Data.empty(); }
    void LoadFromBytes(const Bytes& bytes);
};

}  // namespace folianto
