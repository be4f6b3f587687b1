#pragma once

#include <QByteArrayView>

namespace corvane {

// Where a session shows what the host sent: the terminal view, through its adaptor. Each
// chunk arrives in order and is handled before the next is handed over.
class HostOutputSink {
public:
    virtual ~HostOutputSink() = default;
    virtual void feedHostOutput(QByteArrayView bytes) = 0;
};

} // namespace corvane
