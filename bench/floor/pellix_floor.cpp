// The floor the tool is measured against: the least a Qt 6 program can do for each job the
// benchmarks time, so the tool's figures can be read as "how far above what Qt itself costs".
//
//   pellix_floor answer <device>   answers every 82 it reads with 82, from readyRead
//   pellix_floor count <device>    reads and counts whatever arrives, from readyRead
//   pellix_floor window            shows one window with a picture and a caption
//
// Prints "ready <CPU microseconds so far>" once listening (or once the window is shown) and runs
// until it is ended.
#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QSerialPort>
#include <QTimer>

#include <cstdio>
#include <cstring>

#include "../benchchild.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s answer|count <device> | window\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    const bool answer = std::strcmp(argv[1], "answer") == 0;
    if (std::strcmp(argv[1], "window") == 0) {
        QLabel label(QStringLiteral("floor"));
        QPixmap picture(64, 64);
        picture.fill(Qt::darkBlue);
        label.setPixmap(picture);
        label.show();
        QTimer::singleShot(0, [] { pellix::bench::announceReady(); });
        return app.exec();
    }
    if (argc < 3) {
        return 2;
    }
    QSerialPort port(QString::fromLocal8Bit(argv[2]));
    port.setBaudRate(answer ? 9600 : 19200);
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "cannot open %s\n", argv[2]);
        return 1;
    }
    unsigned long long bytes = 0;
    QObject::connect(&port, &QSerialPort::readyRead, [&] {
        const QByteArray data = port.readAll();
        bytes += static_cast<unsigned long long>(data.size());
        if (answer && data.contains('\x82')) {
            port.write("\x82", 1);
        }
    });
    pellix::bench::announceReady();
    return app.exec();
}
