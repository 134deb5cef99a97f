#include "host/DoEvents.h"

#include <QCoreApplication>

namespace host {

void DoEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace host
