#include "corvane/ui/TerminalViewRepresentable.h"

#include "Kestrix/view/TerminalView.h"
#include "corvane/session/HostOutputSink.h"
#include "corvane/session/SSHSession.h"
#include "corvane/ui/TerminalCoordinator.h"

#include <QCoreApplication>
#include <QLayout>

namespace corvane {

// What the session feeds: the host's bytes handed to the view for as long as it exists.
class TerminalViewRepresentable::OutputSink final : public HostOutputSink {
public:
    explicit OutputSink(kestrix::TerminalView &view)
        : view_(&view)
    {
    }

    void feedHostOutput(QByteArrayView bytes) override
    {
        if (view_) {
            view_->feedHostOutput(
                std::span(reinterpret_cast<const uint8_t *>(bytes.data()), size_t(bytes.size())));
        }
    }

private:
    QPointer<kestrix::TerminalView> view_;
};

TerminalViewRepresentable &TerminalViewRepresentable::forSession(SSHSession &session)
{
    if (auto *existing =
            session.findChild<TerminalViewRepresentable *>(QString(), Qt::FindDirectChildrenOnly)) {
        return *existing;
    }
    return *new TerminalViewRepresentable(session);
}

kestrix::TerminalView *TerminalViewRepresentable::existingView(const SSHSession &session)
{
    auto *existing = session.findChild<TerminalViewRepresentable *>(QString(), Qt::FindDirectChildrenOnly);
    return existing ? existing->view_.data() : nullptr;
}

TerminalViewRepresentable::TerminalViewRepresentable(SSHSession &session)
    : QObject(&session)
    , coordinator_(std::make_unique<TerminalCoordinator>(session))
    , view_(new kestrix::TerminalView(nullptr, QRect(), kestrix::TerminalView::defaultFont()))
    , sink_(std::make_shared<OutputSink>(*view_))
{
    view_->setTerminalDelegate(coordinator_.get());
    // Every byte this terminal shows comes from the remote host: it must never make the terminal
    // read or delete files or shared memory on this machine.
    view_->getTerminal().options.allowsKittyLocalMedia = false;
    coordinator_->setConfirmLink(TerminalCoordinator::defaultConfirmLink(view_));
    session.setTerminalView(sink_);
}

TerminalViewRepresentable::~TerminalViewRepresentable()
{
    if (view_) {
        view_->setTerminalDelegate(nullptr);
        // A session that outlives the application (the shared manager at exit) leaves its
        // widget to the process's end: widgets cannot be deleted without an application.
        if (QCoreApplication::instance()) {
            delete view_;
        }
    }
}

void TerminalViewRepresentable::embed(QWidget &holder)
{
    if (!view_ || view_->parentWidget() == &holder) {
        return;
    }
    view_->setParent(&holder);
    if (holder.layout()) {
        holder.layout()->addWidget(view_);
    }
    view_->show();
    emit holderChanged();
}

void TerminalViewRepresentable::release(QWidget &holder)
{
    if (!view_ || view_->parentWidget() != &holder) {
        return;
    }
    if (holder.layout()) {
        holder.layout()->removeWidget(view_);
    }
    view_->hide();
    view_->setParent(nullptr);
    emit holderChanged();
}

QWidget *TerminalViewRepresentable::holder() const
{
    return view_ ? view_->parentWidget() : nullptr;
}

} // namespace corvane
