// Private to the mail module: GMime streams of our own for writing a message (GObject glue).
#pragma once

#include <gmime/gmime.h>

#include <string>

#include "base/unique_fd.h"

namespace lyr::mail {

// A stream that reads the file open as fd (which it owns from now on) in large steps. Returns a
// new reference the caller releases with g_object_unref.
GMimeStream* NewFileStream(base::UniqueFd fd);

// A stream that appends what is written to *text, which must outlive it. Returns a new reference
// the caller releases with g_object_unref.
GMimeStream* NewStringStream(std::string& text);

}  // namespace lyr::mail
