#pragma once

#include <QString>

#include <memory>

namespace pellix {

class Capture;

// Records one capture to a file as it happens: every event from now on, one line each, written
// as soon as it is complete. Opened like every other file the tool writes: only a regular file
// or a new name, never a named pipe or a device (which could block the program or swallow the
// bytes), by the file system's own name bytes. Each recording starts the file afresh, so the
// file is always one run that replay reads.
class CaptureFile {
  public:
    ~CaptureFile();
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;

    // Starts recording `capture` into `path`; on failure null, with the reason in `error`.
    static std::unique_ptr<CaptureFile> start(Capture& capture, const QString& path,
                                              QString& error);

    // Writes a chunk still held back for its notes. False once a write failed.
    bool flush();
    // Why writing stopped working (the disk filled up, the stick was pulled); empty while fine.
    QString error() const;
    const QString& path() const { return m_path; }

  private:
    class Writer;
    CaptureFile(Capture& capture, QString path, int fd);

    Capture& m_capture;
    QString m_path;
    std::unique_ptr<Writer> m_writer;
};

}  // namespace pellix
