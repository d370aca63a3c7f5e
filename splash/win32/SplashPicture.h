#ifndef SPLASH_WIN32_SPLASHPICTURE_H
#define SPLASH_WIN32_SPLASHPICTURE_H

// The splash image, read and decoded by the OLE picture services (Windows bitmap, JPEG, GIF, icon,
// metafiles), measured in screen pixels and rendered once into a bitmap that the splash window
// copies to the screen on every paint. The holder lives only while the window is being made.

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <cstddef>
#include <string>

#include "os/win32/Handles.h"

namespace splash {

struct SplashPicture {
  os::ComRef<IPicture> picture;  // the decoded image, or none
  RECT target = {};              // where renderPicture draws; all zero until a rendering sets it
};

// Reads the whole file (the path as given: a relative one is resolved against the current folder)
// and decodes it. False, and no picture held, when the file cannot be opened or read, is empty or
// cannot be decoded.
bool loadPictureFile(const std::string& path, SplashPicture& picture);

// Decodes image bytes held in memory, releasing any picture held before. True exactly when the
// decoder reports S_OK.
bool loadPictureBytes(const void* bytes, std::size_t count, SplashPicture& picture);

// The picture's size in screen pixels: its HIMETRIC size at the screen's logical pixels per inch,
// rounded to the nearest pixel. 0 by 0 without a picture.
SIZE pictureSizePixels(const SplashPicture& picture);

// Renders the whole picture at its pixel size into a new bitmap compatible with the window, which
// replaces what destination held. Sets the target rectangle to (0, 0, cx, cy).
void renderPictureToBitmap(SplashPicture& picture, HWND window, os::UniqueBitmap& destination);

// Draws the whole picture into the target rectangle of dc (or at its pixel size at the origin
// while the target is all zero). False without a picture or when the picture cannot draw.
bool renderPicture(SplashPicture& picture, HDC dc);

}  // namespace splash

#endif
