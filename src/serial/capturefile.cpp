#include "serial/capturefile.h"

#include <cerrno>
#include <optional>
#include <ostream>
#include <streambuf>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "capture/capture.h"
#include "capture/captureformat.h"
#include "platform/atomicsave.h"
#include "platform/filenames.h"

namespace pellix {
namespace {

// An output stream buffer over a file descriptor that remembers the first failed write.
class FdBuffer final : public std::streambuf {
  public:
    explicit FdBuffer(int fd) : m_fd(fd) { setp(m_buffer, m_buffer + sizeof m_buffer); }
    ~FdBuffer() override { ::close(m_fd); }
    FdBuffer(const FdBuffer&) = delete;
    FdBuffer& operator=(const FdBuffer&) = delete;

    int error() const { return m_error; }

  protected:
    int_type overflow(int_type ch) override {
        if (!drain()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(ch, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(ch);
            pbump(1);
        }
        return traits_type::not_eof(ch);
    }
    int sync() override { return drain() ? 0 : -1; }

  private:
    bool drain() {
        const char* at = pbase();
        while (m_error == 0 && at < pptr()) {
            const ssize_t n = ::write(m_fd, at, static_cast<size_t>(pptr() - at));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                m_error = n == 0 ? ENOSPC : errno;
                break;
            }
            at += n;
        }
        setp(m_buffer, m_buffer + sizeof m_buffer);
        return m_error == 0;
    }

    int m_fd;
    int m_error = 0;
    char m_buffer[8192];
};

// Opens `name` for writing from its start when it is a regular file or a new name. A pipe or a
// device is refused before it is opened; the open itself never waits (a pipe slipped in
// between fails at once) and what was opened is checked again.
int openForRecording(const QByteArray& name, QString& error) {
    struct stat st {};
    if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        error = fileErrorReason(S_ISDIR(st.st_mode) ? EISDIR : ENODEV);
        return -1;
    }
    const int fd = ::open(name.constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = fileErrorReason(errno == ENXIO ? ENODEV : errno);
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = fileErrorReason(ENODEV);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

}  // namespace

class CaptureFile::Writer {
  public:
    Writer(int fd, const CaptureHeader& header) : m_buffer(fd), m_out(&m_buffer) {
        m_recorder.emplace(m_out, header);
    }

    FdBuffer m_buffer;
    std::ostream m_out;
    std::optional<CaptureRecorder> m_recorder;
};

CaptureFile::CaptureFile(Capture& capture, QString path, int fd)
    : m_capture(capture),
      m_path(std::move(path)),
      m_writer(std::make_unique<Writer>(fd, capture.header())) {
    m_capture.addSink(&*m_writer->m_recorder);
}

CaptureFile::~CaptureFile() {
    m_capture.removeSink(&*m_writer->m_recorder);
    flush();
}

std::unique_ptr<CaptureFile> CaptureFile::start(Capture& capture, const QString& path,
                                                QString& error) {
    error.clear();
    const int fd = openForRecording(nativeFileName(path), error);
    if (fd < 0) {
        return nullptr;
    }
    return std::unique_ptr<CaptureFile>(new CaptureFile(capture, path, fd));
}

bool CaptureFile::flush() {
    if (m_writer->m_buffer.error() == 0) {
        m_writer->m_recorder->flush();
    }
    return m_writer->m_buffer.error() == 0;
}

QString CaptureFile::error() const {
    const int error = m_writer->m_buffer.error();
    return error == 0 ? QString() : fileErrorReason(error);
}

}  // namespace pellix
