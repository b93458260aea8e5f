// The imaging codec service: a COM-style factory that decodes PNG, JPEG,
// GIF (every frame), BMP and WebP from files and streams, and renders the
// pictures at any size.
//
// Objects and their views:
// - IImagingFactory, made by CoCreateInstance(CLSID_ImagingFactory, ...).
// - An image (IImage) from a file or a stream: the open file or stream and
//   its header. Nothing is decoded before a picture is asked for, and
//   nothing decoded is kept: each request reads and decodes the file again,
//   row by row, straight into the scaler and on to the destination, so a
//   kept image costs an open file, never its bytes (Sources.h says how
//   streams are read). A JPEG asked for at a smaller size is decoded at a
//   reduced scale by the codec itself; a WebP asked for smaller is scaled by
//   its codec.
// - A bitmap: pixels in memory, one object with three views (IBitmapImage,
//   IImage, IImageSink), reached from one another with QueryInterface.
// - A decoder (IImageDecoder) over a stream, which decodes frame by frame
//   into a sink.
//
// Pixels come in two formats: PixelFormat24bppRGB (bytes B, G, R) and
// PixelFormat32bppARGB (bytes B, G, R, A, straight alpha). An image's own
// format is the 32-bit one exactly when it can hold transparency:
// - PNG: an alpha channel (gray + alpha, RGBA) or a tRNS chunk;
// - WebP: the file's alpha flag;
// - GIF: a frame with a transparent colour index, a first frame that does
//   not cover the whole logical screen, or a frame disposed to the
//   background (each can leave pixels of a shown frame transparent);
// - BMP: a 32-bit file whose header gives an alpha mask (BI_BITFIELDS or a
//   version 4 or 5 header); the fourth byte of other 32-bit files is unused;
// - JPEG: never.
//
// Scaling (the service's own, integer): area averaging along an axis that
// shrinks, bilinear along one that grows, on premultiplied colour so that
// transparent pixels do not bleed into their neighbours.
//
// Limits (checked from the header, before any pixel memory is allocated;
// docs/image-io.md, "Limits and memory", lists them with what each path
// holds): each side at most kMaxImageSide pixels, at most kMaxImagePixels
// pixels in all, the same for sizes asked of Draw, GetThumbnail and the
// bitmaps; at most kMaxEncodedBytes bytes read from a stream or file; at
// most kMaxJpegScans scans in a JPEG and kMaxGifFrames frames in a GIF; at
// most kMaxWholePictureBytes held by a codec that must keep the whole
// picture (the coefficients of a JPEG of several scans, a WebP file libwebp
// needs whole with its lossless picture or alpha plane, a run-length BMP). A file beyond them gives
// IMGERR_TOOLARGE.
//
// Damage: each codec says what counts (CodecPng.cpp, CodecJpeg.cpp,
// CodecBmp.cpp, CodecWebp.cpp, GifAnimation.h); a picture damaged where its
// pixels are gives IMGERR_CORRUPT, never a partial picture.
//
// Results: S_OK; E_FAIL for bad arguments; E_OUTOFMEMORY; E_PENDING from a
// decoder's Decode while rows remain; IMGERR_UNKNOWNFORMAT for bytes that
// are no format the service reads; IMGERR_CORRUPT for a truncated or damaged
// file; IMGERR_TOOLARGE; the code of a stream or file that failed to read.
#ifndef ZORVA_SYSTEM_IMAGING_H
#define ZORVA_SYSTEM_IMAGING_H

#include "ZorvaTypes.h"
#include "backends/codecs/Limits.h"

struct IImageSink;

// What an image or decoder says about itself.
struct ImageInfo {
    GUID RawDataFormat; // the file format: ImageFormatPNG, ImageFormatGIF, ...
    DWORD PixelFormat;  // PixelFormat24bppRGB or PixelFormat32bppARGB
    uint32_t Width;     // pixels (a GIF's logical screen)
    uint32_t Height;
    uint32_t TileWidth; // the whole image is one tile
    uint32_t TileHeight;
    double Xdpi;
    double Ydpi;
    uint32_t Flags; // ImageFlagsHasAlpha when the pixel format has alpha
};

// A locked rectangle of a bitmap, or rows a decoder pushes into a sink:
// Height rows of Width pixels, row r at Scan0 + r * Stride.
struct BitmapData {
    uint32_t Width;
    uint32_t Height;
    int32_t Stride;
    DWORD PixelFormat;
    void* Scan0;
    uintptr_t Reserved;
};

// A decoded picture.
struct IImage : IUnknown {
    virtual HRESULT GetImageInfo(ImageInfo* info) = 0;
    // Renders the whole image scaled to the rectangle (right and bottom
    // excluded) into the image selected into a memory context, clipped to
    // it. The destination is replaced, not blended: where the picture is
    // transparent it shows black, so drawing the frames of an animation one
    // over another shows each as a viewer does. `srcRect` must be null.
    // E_FAIL for a context without an image, an empty rectangle or a
    // srcRect.
    virtual HRESULT Draw(HDC dc, const tagRECT* dstRect, const tagRECT* srcRect) = 0;
    // Hands the whole picture at its own size to `sink`: BeginSink with the
    // image's information (the sink picks PixelFormat24bppRGB or
    // PixelFormat32bppARGB), bands of rows top to bottom as they are
    // decoded, then EndSink with the result, which is also returned. A
    // picture pushed this way is never held whole, except one whose rows
    // come out of order (an interlaced PNG or GIF), gathered in the sink's
    // format. E_FAIL for a null sink or another pixel format.
    virtual HRESULT PushIntoSink(IImageSink* sink) = 0;
    // A new image of exactly width x height holding the whole picture
    // scaled, in the image's own pixel format (a bitmap's IImage view).
    virtual HRESULT GetThumbnail(uint32_t width, uint32_t height, IImage** thumbnail) = 0;

protected:
    ~IImage() = default;
};

// Pixels in memory.
struct IBitmapImage : IUnknown {
    virtual HRESULT GetSize(tagSIZE* size) = 0;
    virtual HRESULT GetPixelFormatID(DWORD* pixelFormat) = 0;
    // Gives direct access to the rectangle's pixels. `flags` holds
    // ImageLockModeRead and/or ImageLockModeWrite; `pixelFormat` is 0 or the
    // bitmap's own format. One lock at a time; E_FAIL for a rectangle that
    // is empty or leaves the bitmap, another lock in force, or another
    // pixel format.
    virtual HRESULT LockBits(const tagRECT* rect, uint32_t flags, DWORD pixelFormat,
                             BitmapData* data) = 0;
    virtual HRESULT UnlockBits(const BitmapData* data) = 0;

protected:
    ~IBitmapImage() = default;
};

// Receives a decoded frame.
struct IImageSink : IUnknown {
    // The decoder announces the frame (size and format). The sink refuses a
    // size other than its own, and writes into info->PixelFormat the format
    // it wants the rows in.
    virtual HRESULT BeginSink(ImageInfo* info, tagRECT* subarea) = 0;
    virtual HRESULT EndSink(HRESULT status) = 0;
    // Rows of the frame: `rect` says where they go; data describes them in
    // the format the sink asked for.
    virtual HRESULT PushPixelData(const tagRECT* rect, BitmapData* data, BOOL lastPass) = 0;

protected:
    ~IImageSink() = default;
};

// Decodes a stream frame by frame.
struct IImageDecoder : IUnknown {
    virtual HRESULT GetImageInfo(ImageInfo* info) = 0;
    // Frames along a dimension: FrameDimensionTime (a GIF's frames; 1 for
    // the other formats). E_FAIL for another dimension.
    virtual HRESULT GetFrameCount(const GUID* dimension, uint32_t* count) = 0;
    // Makes frame `index` (from 0) the one the next decode delivers: the
    // frame composed as a viewer shows it, over what the earlier frames
    // left after their disposal. E_FAIL for an index beyond the count.
    virtual HRESULT SelectActiveFrame(const GUID* dimension, uint32_t index) = 0;
    // Starts delivering the active frame to `sink` (the decoder holds a
    // reference until EndDecode). `properties` must be null.
    virtual HRESULT BeginDecode(IImageSink* sink, void* properties) = 0;
    // Delivers a band of rows; E_PENDING while rows remain, S_OK once the
    // frame is complete, or the failure that ended it.
    virtual HRESULT Decode() = 0;
    // Ends the delivery, telling the sink `status`, and lets the sink go.
    virtual HRESULT EndDecode(HRESULT status) = 0;
    // PropertyTagFrameDelay: a PropertyItem followed by one 32-bit delay per
    // frame, in hundredths of a second as the file gives them (0 without a
    // graphic control extension). Only GIF files have it; other properties
    // and formats give IMGERR_PROPERTYNOTFOUND.
    virtual HRESULT GetPropertyItemSize(DWORD propId, uint32_t* size) = 0;
    // Fills `buffer` (at least the size above): the record, then the values
    // it points at.
    virtual HRESULT GetPropertyItem(DWORD propId, uint32_t size, PropertyItem* buffer) = 0;

protected:
    ~IImageDecoder() = default;
};

// Creates images, bitmaps and decoders.
struct IImagingFactory : IUnknown {
    // The stream from its current position to its end: read where it lies
    // for each picture when it seeks (the image holds a reference), read
    // whole now when it cannot (OpenStreamSource).
    virtual HRESULT CreateImageFromStream(IStream* stream, IImage** image) = 0;
    virtual HRESULT CreateImageFromFile(const wchar_t* path, IImage** image) = 0;
    // A bitmap of width x height in `pixelFormat` (24 or 32 bits), every
    // byte zero.
    virtual HRESULT CreateNewBitmap(uint32_t width, uint32_t height, DWORD pixelFormat,
                                    IBitmapImage** bitmap) = 0;
    // The whole image scaled to exactly width x height in `pixelFormat`
    // (0: the image's own). `hints` is not used. The picture is rendered
    // when the bitmap's pixels are first needed, and a rectangle locked for
    // reading renders only that rectangle: a picture that cannot be decoded
    // fails the lock.
    virtual HRESULT CreateBitmapFromImage(IImage* image, uint32_t width, uint32_t height,
                                          DWORD pixelFormat, int hints, IBitmapImage** bitmap) = 0;
    // A decoder for the stream's bytes (from its current position to its
    // end, read as CreateImageFromStream reads them); the codecs are all
    // built in, so `flags` only selects them.
    virtual HRESULT CreateImageDecoder(IStream* stream, DWORD flags, IImageDecoder** decoder) = 0;

protected:
    ~IImagingFactory() = default;
};

namespace zorva::platform {

constexpr DWORD PixelFormat24bppRGB = 0x00021808;
constexpr DWORD PixelFormat32bppARGB = 0x0026200A;
constexpr DWORD PixelFormatAlpha = 0x00040000;
constexpr uint32_t ImageFlagsHasAlpha = 0x0002;

constexpr uint32_t ImageLockModeRead = 1;
constexpr uint32_t ImageLockModeWrite = 2;

constexpr DWORD DecoderInitFlagBuiltIn1st = 2;

constexpr DWORD PropertyTagFrameDelay = 0x5100;
constexpr uint16_t PropertyTagTypeLong = 4;

constexpr HRESULT IMGERR_UNKNOWNFORMAT = static_cast<HRESULT>(0x80040001);
constexpr HRESULT IMGERR_CORRUPT = static_cast<HRESULT>(0x8007000D);
constexpr HRESULT IMGERR_TOOLARGE = static_cast<HRESULT>(0x800700DF);
constexpr HRESULT IMGERR_PROPERTYNOTFOUND = static_cast<HRESULT>(0x80040002);

// The codecs' limits (backends/codecs/Limits.h).
using backends::ImageSizeAllowed;
using backends::kMaxEncodedBytes;
using backends::kMaxGifFrames;
using backends::kMaxImagePixels;
using backends::kMaxImageSide;
using backends::kMaxJpegScans;
using backends::kMaxWholePictureBytes;

extern const GUID CLSID_ImagingFactory;
extern const GUID IID_IImagingFactory;
extern const GUID IID_IImage;
extern const GUID IID_IBitmapImage;
extern const GUID IID_IImageSink;
extern const GUID IID_IImageDecoder;

extern const GUID ImageFormatBMP;
extern const GUID ImageFormatJPEG;
extern const GUID ImageFormatPNG;
extern const GUID ImageFormatGIF;
extern const GUID ImageFormatWEBP;
extern const GUID FrameDimensionTime;

// The factory, as CoCreateInstance makes it.
HRESULT CreateImagingFactory(const GUID& iid, void** object);

} // namespace zorva::platform

#endif // ZORVA_SYSTEM_IMAGING_H
