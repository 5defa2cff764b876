#pragma once

// Whether the beauty filter is offered on this computer. Some computer models cannot run it
// smoothly; the client configuration lists them ("beautifierNotSupported", comma separated).

#include <QString>

#include <memory>

class KLRTCMediaSDK;

/// The pure decision. A non-empty list offers the filter unless `computerModel` is listed
/// (entries are trimmed, empty entries skipped). Without a list, external users are offered it
/// and internal users keep `currentIsShowBeauty` (their host decides elsewhere).
bool KL_isBeautyAvailable(const QString &computerModel, const QString &notSupportedModels,
                          bool isVanInternal, bool currentIsShowBeauty);

/// The join step: reads the computer model from the engine's settings (`engine` null means the
/// shared engine), gives it to the cloud logger and decides as KL_isBeautyAvailable.
bool KL_checkBeautyIsAvailable(const QString &notSupportedModels, bool isVanInternal,
                               bool currentIsShowBeauty,
                               std::shared_ptr<KLRTCMediaSDK> engine = nullptr);
