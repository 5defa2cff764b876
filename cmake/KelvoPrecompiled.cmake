# Precompiled headers: every translation unit parses the same Qt and standard headers, and on
# the two-core CI machine that parsing was most of the build. One header set for the library,
# one (with GoogleTest) shared by every test program.
option(KELVO_PCH "Build with precompiled headers" ON)

set(KELVO_PCH_HEADERS
  <QByteArray> <QDateTime> <QHash> <QJsonArray> <QJsonDocument> <QJsonObject> <QJsonValue>
  <QList> <QObject> <QPointer> <QString> <QStringList> <QTimer> <QUrl> <QVariant> <QVariantMap>
  <QNetworkAccessManager> <QNetworkReply> <QNetworkRequest> <QSslConfiguration> <QWebSocket>
  <atomic> <chrono> <condition_variable> <deque> <functional> <map> <memory> <mutex> <optional>
  <set> <thread> <unordered_map> <utility> <vector>)

# Gives `target` its own precompiled header set (with `ARGN` added to it).
function(kelvo_precompile target)
  if(KELVO_PCH)
    target_precompile_headers(${target} PRIVATE ${KELVO_PCH_HEADERS} ${ARGN})
  endif()
endfunction()

# Lets `target` use the precompiled headers already built for `from`.
function(kelvo_precompile_reuse target from)
  if(KELVO_PCH)
    target_precompile_headers(${target} REUSE_FROM ${from})
  endif()
endfunction()
