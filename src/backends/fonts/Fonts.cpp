// Fonts through fontconfig (which face) and FreeType (its outlines, sizes
// and 8-bit anti-aliased glyphs).
#include "backends/fonts/Fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_DRIVER_H
#include FT_MODULE_H
#include FT_SIZES_H
#include FT_SYNTHESIS_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <new>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace zorva::backends {

// The FreeType library instance, kept alive by every face opened with it.
struct FreeTypeLibrary : Allocated {
    FT_Library library = nullptr;
    ~FreeTypeLibrary() {
        if (library) FT_Done_FreeType(library);
    }
};

// One opened face file; FT_Done_Face also frees the sizes made on it.
class FontFace : public Allocated {
public:
    FontFace(std::shared_ptr<FreeTypeLibrary> library, FT_Face face)
        : m_library(std::move(library)), m_face(face) {}
    ~FontFace() { FT_Done_Face(m_face); }
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;
    FT_Face Face() const { return m_face; }

private:
    std::shared_ptr<FreeTypeLibrary> m_library; // outlives m_face
    FT_Face m_face;
};

struct SizedFont::CachedGlyph {
    int advance = 0;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> coverage;
};

// Glyphs by character. When the coverage kept passes the budget the cache
// starts again empty: text rarely uses more than a few hundred glyphs.
struct SizedFont::Cache : Allocated {
    static constexpr size_t kBudgetBytes = 4u << 20;
    std::unordered_map<char32_t, CachedGlyph> glyphs;
    size_t bytes = 0;
};

namespace {

// 26.6 fixed point to whole pixels, rounding to nearest.
int RoundPixels(FT_Pos v) {
    return int((v + 32) >> 6);
}

} // namespace

// The process's fonts: the fontconfig configuration, the match results, the
// open faces and the most recently used sized fonts.
class FontLibrary {
public:
    static FontLibrary& Get() {
        static FontLibrary library;
        return library;
    }

    bool Match(const std::string& family, int weight, bool italic, std::string* file, int* index,
               bool* boldFace) {
        std::lock_guard<std::mutex> hold(m_lock);
        return MatchLocked(family, weight, italic, file, index, boldFace);
    }

    std::shared_ptr<SizedFont> Open(const std::string& file, int index, int32_t height,
                                    bool embolden) {
        std::lock_guard<std::mutex> hold(m_lock);
        return OpenLocked(file, index, height, embolden);
    }

    std::shared_ptr<SizedFont> Default() {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_default) {
            std::string file;
            int index = 0;
            bool bold = false;
            if (MatchLocked(kDefaultFontFace, 400, false, &file, &index, &bold))
                m_default = OpenLocked(file, index, kDefaultFontHeight, false);
        }
        return m_default;
    }

private:
    struct Matched {
        std::string file;
        int index = 0;
        bool bold = false;
    };
    using SizeKey = std::tuple<const FontFace*, int32_t, bool>;
    static constexpr size_t kRecentFonts = 8;
    static constexpr size_t kMatchesKept = 64;

    FontLibrary() = default;
    ~FontLibrary() {
        m_default.reset();
        m_recent.clear();
        if (m_config) FcConfigDestroy(m_config);
    }

    bool MatchLocked(const std::string& family, int weight, bool italic, std::string* file,
                     int* index, bool* boldFace) {
        const auto key = std::make_tuple(family, weight, italic);
        auto found = m_matches.find(key);
        if (found == m_matches.end()) {
            Matched m;
            if (!Query(family, weight, italic, m)) return false;
            if (m_matches.size() >= kMatchesKept) m_matches.clear();
            found = m_matches.emplace(key, std::move(m)).first;
        }
        *file = found->second.file;
        *index = found->second.index;
        *boldFace = found->second.bold;
        return true;
    }

    // Asks fontconfig for the best installed face: the name's own family
    // when installed, else what the configuration substitutes (Tahoma and
    // other unknown names fall to the default sans-serif face).
    bool Query(const std::string& family, int weight, bool italic, Matched& out) {
        if (!m_config && !m_configTried) {
            m_configTried = true;
            m_config = FcInitLoadConfigAndFonts();
        }
        if (!m_config) return false;
        FcPattern* pattern = FcPatternCreate();
        if (!pattern) return false;
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
        FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
        FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(m_config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(m_config, pattern, &result);
        FcPatternDestroy(pattern);
        if (!match) return false;
        FcChar8* file = nullptr;
        int index = 0, matchedWeight = FC_WEIGHT_REGULAR;
        const bool ok = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file;
        if (ok) {
            out.file = reinterpret_cast<const char*>(file);
            if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) out.index = index;
            if (FcPatternGetInteger(match, FC_WEIGHT, 0, &matchedWeight) == FcResultMatch)
                out.bold = matchedWeight >= FC_WEIGHT_DEMIBOLD;
        }
        FcPatternDestroy(match);
        return ok;
    }

    std::shared_ptr<FontFace> FaceLocked(const std::string& file, int index) {
        const auto key = std::make_pair(file, index);
        auto found = m_faces.find(key);
        if (found != m_faces.end()) {
            if (auto face = found->second.lock()) return face;
            m_faces.erase(found);
        }
        if (!m_freeType) {
            auto library = std::shared_ptr<FreeTypeLibrary>(new (std::nothrow) FreeTypeLibrary);
            if (!library) return nullptr;
            if (FT_Init_FreeType(&library->library) != 0) {
                library->library = nullptr;
                return nullptr;
            }
            // The full TrueType hinting of the older interpreter snaps stems
            // to whole pixels across as well as up and down: crisper
            // grayscale text on small panels than the default, which hints
            // heights only.
            FT_UInt interpreter = TT_INTERPRETER_VERSION_35;
            FT_Property_Set(library->library, "truetype", "interpreter-version", &interpreter);
            m_freeType = library;
        }
        FT_Face raw = nullptr;
        if (FT_New_Face(m_freeType->library, file.c_str(), index, &raw) != 0) return nullptr;
        if (!FT_IS_SCALABLE(raw)) {
            FT_Done_Face(raw);
            return nullptr;
        }
        auto face = std::shared_ptr<FontFace>(new (std::nothrow) FontFace(m_freeType, raw));
        if (!face) {
            FT_Done_Face(raw);
            return nullptr;
        }
        // Forget faces nobody holds any more before remembering this one.
        for (auto it = m_faces.begin(); it != m_faces.end();)
            it = it->second.expired() ? m_faces.erase(it) : std::next(it);
        m_faces[key] = face;
        return face;
    }

    std::shared_ptr<SizedFont> OpenLocked(const std::string& file, int index, int32_t height,
                                          bool embolden) {
        if (height == 0) height = kDefaultFontHeight;
        if (height < -kMaxFontHeight || height > kMaxFontHeight) return nullptr;
        std::shared_ptr<FontFace> face = FaceLocked(file, index);
        if (!face) return nullptr;
        const SizeKey key(face.get(), height, embolden);
        for (auto it = m_recent.begin(); it != m_recent.end(); ++it) {
            if (it->first == key) {
                m_recent.splice(m_recent.begin(), m_recent, it);
                return it->second;
            }
        }
        FT_Size size = nullptr;
        if (FT_New_Size(face->Face(), &size) != 0) return nullptr;
        std::shared_ptr<SizedFont> font(new (std::nothrow) SizedFont(face, size, embolden, height));
        if (!font) {
            FT_Done_Size(size);
            return nullptr;
        }
        if (!font->m_cache) return nullptr; // its constructor could not finish
        m_recent.emplace_front(key, font);
        if (m_recent.size() > kRecentFonts) m_recent.pop_back();
        return font;
    }

    std::mutex m_lock;
    std::shared_ptr<FreeTypeLibrary> m_freeType;
    FcConfig* m_config = nullptr;
    bool m_configTried = false;
    std::map<std::tuple<std::string, int, bool>, Matched> m_matches;
    std::map<std::pair<std::string, int>, std::weak_ptr<FontFace>> m_faces;
    std::list<std::pair<SizeKey, std::shared_ptr<SizedFont>>> m_recent;
    std::shared_ptr<SizedFont> m_default;
};

// Sizes the face: a negative height is the em (character) height in pixels,
// a positive one the cell height, ascender minus descender; the line is then
// exactly that tall. The underline comes from the face's own position and
// thickness, kept inside the line.
SizedFont::SizedFont(std::shared_ptr<FontFace> face, void* size, bool embolden, int32_t height)
    : m_face(std::move(face)), m_size(size), m_embolden(embolden) {
    FT_Face f = m_face->Face();
    FT_Activate_Size(static_cast<FT_Size>(m_size));
    FT_Error error;
    if (height < 0) {
        error = FT_Set_Pixel_Sizes(f, 0, FT_UInt(-height));
    } else {
        FT_Size_RequestRec request{};
        request.type = FT_SIZE_REQUEST_TYPE_REAL_DIM;
        request.height = FT_Long(height) * 64;
        error = FT_Request_Size(f, &request);
    }
    if (error != 0) return; // m_cache stays null: the library drops the font
    const FT_Size_Metrics& m = f->size->metrics;
    m_ascent = std::max(0, RoundPixels(m.ascender));
    m_descent = std::max(0, RoundPixels(-m.descender));
    if (height > 0) {
        m_ascent = std::min(m_ascent, int(height));
        m_descent = int(height) - m_ascent;
    }
    if (m_ascent + m_descent < 1) m_descent = 1 - m_ascent;
    m_underlineThickness = std::max(1, RoundPixels(FT_MulFix(f->underline_thickness, m.y_scale)));
    m_underlineOffset = std::max(1, RoundPixels(-FT_MulFix(f->underline_position, m.y_scale)) -
                                        m_underlineThickness / 2);
    if (m_underlineOffset + m_underlineThickness > m_descent)
        m_underlineOffset = m_descent - m_underlineThickness;
    if (m_underlineOffset < -m_ascent) {
        m_underlineOffset = -m_ascent;
        m_underlineThickness = std::min(m_underlineThickness, m_ascent + m_descent);
    }
    m_cache.reset(new (std::nothrow) Cache);
}

SizedFont::~SizedFont() {
    FT_Done_Size(static_cast<FT_Size>(m_size));
}

std::string SizedFont::FamilyName() const {
    const char* name = m_face->Face()->family_name;
    return name ? name : "";
}

std::string SizedFont::StyleName() const {
    const char* name = m_face->Face()->style_name;
    return name ? name : "";
}

const SizedFont::CachedGlyph& SizedFont::Lookup(char32_t c) {
    auto found = m_cache->glyphs.find(c);
    if (found != m_cache->glyphs.end()) return found->second;

    CachedGlyph g;
    if (c >= 0x20) {
        FT_Face f = m_face->Face();
        FT_Activate_Size(static_cast<FT_Size>(m_size));
        const FT_UInt index = FT_Get_Char_Index(f, FT_ULong(c));
        if (FT_Load_Glyph(f, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) == 0) {
            if (m_embolden) FT_GlyphSlot_Embolden(f->glyph);
            g.advance = RoundPixels(f->glyph->advance.x);
            if (FT_Render_Glyph(f->glyph, FT_RENDER_MODE_NORMAL) == 0) {
                const FT_Bitmap& b = f->glyph->bitmap;
                if (b.pixel_mode == FT_PIXEL_MODE_GRAY && b.width > 0 && b.rows > 0) {
                    g.width = int(b.width);
                    g.height = int(b.rows);
                    g.left = f->glyph->bitmap_left;
                    g.top = f->glyph->bitmap_top;
                    g.coverage.resize(size_t(g.width) * size_t(g.height));
                    // Rows run downwards for a positive pitch, upwards for a
                    // negative one; either way row 0 is the top row.
                    for (int y = 0; y < g.height; ++y) {
                        const unsigned char* row =
                            b.pitch >= 0 ? b.buffer + ptrdiff_t(y) * b.pitch
                                         : b.buffer + ptrdiff_t(g.height - 1 - y) * -b.pitch;
                        std::memcpy(&g.coverage[size_t(y) * size_t(g.width)], row, size_t(g.width));
                    }
                }
            }
        }
    }
    if (m_cache->bytes + g.coverage.size() > Cache::kBudgetBytes) {
        m_cache->glyphs.clear();
        m_cache->bytes = 0;
    }
    m_cache->bytes += g.coverage.size();
    return m_cache->glyphs.emplace(c, std::move(g)).first->second;
}

int SizedFont::Advance(char32_t c) {
    return Lookup(c).advance;
}

GlyphImage SizedFont::Glyph(char32_t c) {
    const CachedGlyph& g = Lookup(c);
    GlyphImage image;
    image.advance = g.advance;
    image.left = g.left;
    image.top = g.top;
    image.width = g.width;
    image.height = g.height;
    image.coverage = g.coverage.empty() ? nullptr : g.coverage.data();
    return image;
}

bool MatchFont(const std::string& family, int weight, bool italic, std::string* file, int* index,
               bool* boldFace) {
    if (!file || !index || !boldFace) return false;
    return FontLibrary::Get().Match(family, weight, italic, file, index, boldFace);
}

std::shared_ptr<SizedFont> OpenFontFile(const std::string& file, int index, int32_t height,
                                        bool embolden) {
    return FontLibrary::Get().Open(file, index, height, embolden);
}

std::shared_ptr<SizedFont> DefaultFont() {
    return FontLibrary::Get().Default();
}

std::shared_ptr<SizedFont> OpenFont(const FontRequest& request) {
    const int32_t height = request.height == 0 ? kDefaultFontHeight : request.height;
    if (height < -kMaxFontHeight || height > kMaxFontHeight) return nullptr;
    const std::string family = request.family.empty() ? kDefaultFontFace : request.family;
    const int weight = request.weight <= 0 ? 400 : std::min<int32_t>(request.weight, 1000);
    std::string file;
    int index = 0;
    bool boldFace = false;
    if (!MatchFont(family, weight, request.italic, &file, &index, &boldFace)) return nullptr;
    return OpenFontFile(file, index, height, weight >= 600 && !boldFace);
}

} // namespace zorva::backends
