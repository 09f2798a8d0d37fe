// The first entry of the debug directory as rows of the PE information list.
#pragma once

#include "pe/pe_headers.h"

namespace tessor {

// "调试表特性:" ... "调试表Ptr:" in writing order; none when the directory's Size is not
// above 0 or its first 28-byte entry cannot be read whole.
InfoRows ReadDebugDirectory(const PeHeaders& headers, ByteView file);

}  // namespace tessor
