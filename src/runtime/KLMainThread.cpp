#include "runtime/KLMainThread.h"

#include "runtime/KLTaskMailbox.h"

#include <QCoreApplication>
#include <QThread>

#include <mutex>

namespace {

/// The mailbox of the current application object. A host that replaces its application object
/// gets a fresh mailbox: the old one's pending drain died with the old object.
KLTaskMailbox *mainMailbox()
{
    static auto &mutex = *new std::mutex;
    static KLTaskMailbox *mailbox = nullptr;
    static QCoreApplication *owner = nullptr;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return nullptr;
    std::lock_guard lock(mutex);
    if (app != owner) {
        // The previous application object, and with it the old mailbox's pending drain, is gone;
        // the old mailbox itself is left alone since another thread may still hold it.
        mailbox = new KLTaskMailbox(app->thread());
        owner = app;
    }
    return mailbox;
}

} // namespace

bool KLMainThread::isAvailable()
{
    return QCoreApplication::instance() != nullptr;
}

bool KLMainThread::isCurrent()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && app->thread() == QThread::currentThread();
}

bool KLMainThread::post(KLBlock block)
{
    KLTaskMailbox *mailbox = mainMailbox();
    if (!mailbox)
        return false;
    mailbox->post(std::move(block));
    return true;
}

bool KLMainThread::postAndWait(KLBlock block)
{
    KLTaskMailbox *mailbox = mainMailbox();
    if (!mailbox)
        return false;
    mailbox->postAndWait(std::move(block));
    return true;
}
