#include "window/KLEnterNameViewController.h"

#include "host/KLHostUtils.h"
#include "host/UserPersistentData.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLSDKLog.h"

namespace {
const char *const kTag = "KLEnterNameViewController";
}

std::shared_ptr<KLEnterNameViewController> KLEnterNameViewController::create()
{
    return std::shared_ptr<KLEnterNameViewController>(new KLEnterNameViewController());
}

void KLEnterNameViewController::setView(std::shared_ptr<KLEnterNameView> view)
{
    m_view = std::move(view);
    if (m_view && m_open)
        m_view->showEnterName(m_errorKey.isEmpty() ? QString() : KLLocalizedString(m_errorKey));
}

void KLEnterNameViewController::changed()
{
    if (m_view) {
        if (m_open)
            m_view->showEnterName(m_errorKey.isEmpty() ? QString() : KLLocalizedString(m_errorKey));
        else
            m_view->closeEnterName();
    }
    if (m_observer)
        m_observer();
}

void KLEnterNameViewController::open(std::function<void()> proceed)
{
    m_proceed = std::move(proceed);
    m_open = true;
    m_errorKey.clear();
    changed();
}

// An empty field is blank too: the dialog never lets the join go on without a name.
QString KLEnterNameViewController::nameErrorKey(const QString &name)
{
    if (name.isEmpty() || KLHostUtils::isWhiteSpaceString(name))
        return QStringLiteral("ERROR_NAME_ONLY_BLANK");
    if (KLHostUtils::isEmojiCharacter(name))
        return QStringLiteral("ERROR_NAME_HAS_EMOJI");
    return {};
}

bool KLEnterNameViewController::submit(const QString &name)
{
    if (!m_open) {
        KL_LOG_WARN(kTag, QStringLiteral("a name was entered while no enter-name dialog is open"));
        return false;
    }
    m_errorKey = nameErrorKey(name);
    if (!m_errorKey.isEmpty()) {
        KL_LOG_INFO(kTag, QStringLiteral("name refused: %1").arg(m_errorKey));
        changed();
        return false;
    }
    UserPersistentData::sharedInstance().writeVanNames(name.trimmed());
    m_open = false;
    changed();
    if (auto proceed = std::move(m_proceed))
        proceed();
    return true;
}
