#include "records/newrun.h"

#include <QDateTime>
#include <QSysInfo>
#include <QUuid>

#include <sstream>

#include "capture/capture.h"
#include "capture/captureformat.h"

namespace pellix::records {

std::string utcNow() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
}

ServiceRun newRun(Interface interface, std::string port, std::string device) {
    ServiceRun run;
    run.key = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    run.startedUtc = utcNow();
    run.bench = QSysInfo::machineHostName().toStdString();
    run.operatorName = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME")).toStdString();
    run.interface = interface;
    run.port = std::move(port);
    run.device = std::move(device);
    return run;
}

std::string captureText(const Capture* capture) {
    if (!capture) {
        return {};
    }
    std::ostringstream text;
    writeCapture(text, capture->header(), capture->ring());
    return text.str();
}

}  // namespace pellix::records
