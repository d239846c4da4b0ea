// The layers above treat a reparse point as a link that they never walk
// through. Only the reparse points that stand for another name (symbolic
// links, junctions, mount points) are links in that sense; the others, such as
// the placeholders of cloud files, are ordinary files and directories whose
// data a file-system filter supplies, and are walked as such.
#pragma once

#include <windows.h>

namespace platform::windows {

// The attributes as the layers above see them: FILE_ATTRIBUTE_REPARSE_POINT
// only for a link. A tag of 0 is no tag that Windows gives out; Wine reports
// it for a symbolic link of the host's, so it counts as a link.
constexpr DWORD linkAttributes(DWORD attributes, DWORD reparseTag) {
    const bool otherReparsePoint = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                                   reparseTag != 0 && !IsReparseTagNameSurrogate(reparseTag);
    return otherReparsePoint ? attributes & ~DWORD{FILE_ATTRIBUTE_REPARSE_POINT} : attributes;
}

}  // namespace platform::windows
