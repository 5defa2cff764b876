#include "media/capture/KLScreenChoice.h"

#include "media/capture/KLScreenCapture.h"
#include "runtime/KLSDKLog.h"

#include <algorithm>

namespace {
const char *const kTag = "KLScreenChoice";
}

void KLScreenChoice::setScreens(const QList<KLScreenInfo> &screens)
{
    m_screens = screens;
}

bool KLScreenChoice::has(const QString &name) const
{
    return std::any_of(m_screens.begin(), m_screens.end(), [&](const KLScreenInfo &screen) { return screen.name == name; });
}

QString KLScreenChoice::preselected() const
{
    if (!m_remembered.isEmpty() && has(m_remembered))
        return m_remembered;
    for (const KLScreenInfo &screen : m_screens)
        if (screen.primary)
            return screen.name;
    return m_screens.isEmpty() ? QString() : m_screens.first().name;
}

bool KLScreenChoice::choose(const QString &name)
{
    if (!has(name)) {
        KL_LOG_WARN(kTag, QStringLiteral("screen '%1' is not there to share; nothing chosen").arg(name));
        return false;
    }
    if (needsPicker())
        m_remembered = name;
    m_shared = name;
    KLScreenCapture::setChosenScreen(name);
    KL_LOG_INFO(kTag, QStringLiteral("sharing screen '%1' of %2").arg(name).arg(m_screens.size()));
    return true;
}

QString KLScreenChoice::chooseWithoutAsking()
{
    const QString name = preselected();
    m_shared = name;
    KLScreenCapture::setChosenScreen(name);
    return name;
}

bool KLScreenChoice::screensChanged(const QList<KLScreenInfo> &screens)
{
    m_screens = screens;
    if (m_shared.isEmpty() || has(m_shared))
        return false;
    KL_LOG_WARN(kTag, QStringLiteral("the shared screen '%1' went away; the share stops").arg(m_shared));
    m_shared.clear();
    return true;
}
