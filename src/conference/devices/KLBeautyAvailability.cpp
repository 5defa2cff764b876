#include "conference/devices/KLBeautyAvailability.h"

#include "cloudlog/KLQLSLogger.h"
#include "media/KLRTCMediaSDK.h"
#include "media/KLRTCMediaSettingStore.h"
#include "runtime/KLSDKLog.h"

#include <QStringList>

namespace {

const QString kTag = QStringLiteral("KLBeautyAvailability");

QStringList listedModels(const QString &notSupportedModels)
{
    QStringList models;
    const QStringList parts = notSupportedModels.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QString model = part.trimmed();
        if (!model.isEmpty())
            models << model;
    }
    return models;
}

} // namespace

bool KL_isBeautyAvailable(const QString &computerModel, const QString &notSupportedModels,
                          bool isVanInternal, bool currentIsShowBeauty)
{
    const QStringList models = listedModels(notSupportedModels);
    if (models.isEmpty())
        return isVanInternal ? currentIsShowBeauty : true;
    return !models.contains(computerModel.trimmed());
}

bool KL_checkBeautyIsAvailable(const QString &notSupportedModels, bool isVanInternal,
                               bool currentIsShowBeauty, std::shared_ptr<KLRTCMediaSDK> engine)
{
    if (!engine)
        engine = KLRTCMediaSDK::shared();
    const QString model = engine->settingStore()->getComputerModel();
    KLQLSLogger::sharedInstance().setComputerModel(model);
    const bool available =
        KL_isBeautyAvailable(model, notSupportedModels, isVanInternal, currentIsShowBeauty);
    KL_LOG_INFO(kTag, QStringLiteral("computer model %1, beauty %2")
                          .arg(model, available ? QStringLiteral("offered")
                                                : QStringLiteral("not offered")));
    return available;
}
