// GMime streams of our own, as GObject types: a file read in large steps and a string appended to.
#include "mail/gmime_streams.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "base/io.h"

namespace lyr::mail {
namespace {

// A GMime stream that reads a file in large steps into a buffer of its own. GMime copies content
// in 4 KiB pieces, and its file stream makes two system calls for each (a seek and a read); a
// mapping would make the whole package resident beside the message.
struct LyrMailFileStream {
  GMimeStream parent;
  int fd;
  char* buffer;
  size_t begin;
  size_t end;
  gboolean eos;
};
struct LyrMailFileStreamClass {
  GMimeStreamClass parent;
};

constexpr size_t kFileStep = size_t{1} << 20;

// GObject type names are one namespace per process (a host's own types included), hence the prefix.
G_DEFINE_TYPE(LyrMailFileStream, lyr_mail_file_stream, GMIME_TYPE_STREAM)

LyrMailFileStream* AsFileStream(GMimeStream* stream) {
  return reinterpret_cast<LyrMailFileStream*>(stream);
}

ssize_t FileStreamRead(GMimeStream* stream, char* data, size_t size) {
  LyrMailFileStream* self = AsFileStream(stream);
  if (self->begin == self->end) {
    if (self->eos) {
      return 0;
    }
    const ssize_t got = base::ReadSome(self->fd, self->buffer, kFileStep);
    if (got < 0) {
      return -1;
    }
    self->begin = 0;
    self->end = static_cast<size_t>(got);
    self->eos = got == 0;
  }
  const size_t n = std::min(size, self->end - self->begin);
  std::copy_n(self->buffer + self->begin, n, data);
  self->begin += n;
  stream->position += static_cast<gint64>(n);
  return static_cast<ssize_t>(n);
}

int FileStreamReset(GMimeStream* stream) {
  LyrMailFileStream* self = AsFileStream(stream);
  if (::lseek(self->fd, 0, SEEK_SET) != 0) {
    return -1;
  }
  self->begin = self->end = 0;
  self->eos = FALSE;
  stream->position = 0;
  return 0;
}

gboolean FileStreamEos(GMimeStream* stream) {
  const LyrMailFileStream* self = AsFileStream(stream);
  return self->eos && self->begin == self->end;
}

gint64 FileStreamTell(GMimeStream* stream) {
  return stream->position;
}

gint64 FileStreamLength(GMimeStream* stream) {
  struct stat status {};
  return ::fstat(AsFileStream(stream)->fd, &status) == 0 ? status.st_size : -1;
}

void FileStreamFinalize(GObject* object) {
  LyrMailFileStream* self = AsFileStream(GMIME_STREAM(object));
  ::close(self->fd);
  ::g_free(self->buffer);
  G_OBJECT_CLASS(lyr_mail_file_stream_parent_class)->finalize(object);
}

void lyr_mail_file_stream_class_init(LyrMailFileStreamClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = &FileStreamFinalize;
  GMimeStreamClass* stream = GMIME_STREAM_CLASS(klass);
  stream->read = &FileStreamRead;
  stream->reset = &FileStreamReset;
  stream->eos = &FileStreamEos;
  stream->tell = &FileStreamTell;
  stream->length = &FileStreamLength;
}

void lyr_mail_file_stream_init(LyrMailFileStream* stream) {
  stream->fd = -1;
  stream->buffer = static_cast<char*>(::g_malloc(kFileStep));
}

// A GMime stream that appends what is written to a string: GMime writes the message straight
// into the result, which is reserved at its expected size, so the text is made once and held once.
struct LyrMailStringStream {
  GMimeStream parent;
  std::string* text;
};
struct LyrMailStringStreamClass {
  GMimeStreamClass parent;
};

G_DEFINE_TYPE(LyrMailStringStream, lyr_mail_string_stream, GMIME_TYPE_STREAM)

ssize_t StringStreamWrite(GMimeStream* stream, const char* data, size_t size) {
  auto* self = reinterpret_cast<LyrMailStringStream*>(stream);
  try {
    self->text->append(data, size);
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    return -1;
  }
  stream->position += static_cast<gint64>(size);
  return static_cast<ssize_t>(size);
}

int StringStreamNothing(GMimeStream* /*stream*/) {
  return 0;
}

gint64 StringStreamTell(GMimeStream* stream) {
  return stream->position;
}

void lyr_mail_string_stream_class_init(LyrMailStringStreamClass* klass) {
  GMimeStreamClass* stream = GMIME_STREAM_CLASS(klass);
  stream->write = &StringStreamWrite;
  stream->flush = &StringStreamNothing;
  stream->close = &StringStreamNothing;
  stream->tell = &StringStreamTell;
}

void lyr_mail_string_stream_init(LyrMailStringStream* stream) {
  stream->text = nullptr;
}

}  // namespace

GMimeStream* NewFileStream(base::UniqueFd fd) {
  GMimeStream* stream = GMIME_STREAM(::g_object_new(lyr_mail_file_stream_get_type(), nullptr));
  ::g_mime_stream_construct(stream, 0, -1);
  AsFileStream(stream)->fd = fd.Release();
  return stream;
}

GMimeStream* NewStringStream(std::string& text) {
  GMimeStream* stream = GMIME_STREAM(::g_object_new(lyr_mail_string_stream_get_type(), nullptr));
  reinterpret_cast<LyrMailStringStream*>(stream)->text = &text;
  ::g_mime_stream_construct(stream, 0, -1);
  return stream;
}

}  // namespace lyr::mail
