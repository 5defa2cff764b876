# Checks the dynamic symbol table of the SDK library: the public entry points are exported,
# the internals stay hidden. Run with -DLIBRARY=<path to libKelvoUISDK.so>.
execute_process(COMMAND nm -D --defined-only -C ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()

set(required
  "KLSDKLogging(int, QString const&, QString const&)"
  "KLSDKLoggingFileName(char const*)"
  "KLSDKLogger::setLoggerPrinter"
  "KLPerformBlockOnMainThread"
  "KLPerformBlockSyncOnMainThread"
  "KLPerformBlockOnSerialQueue"
  "KLPerformBlockOnConcurrentQueue"
  "ASYNC_RUN_ON_SERIAL_QUEUE"
  "ASYNC_RUN_ON_IO_QUEUE"
  "SYNC_RUN_ON_MAIN_QUEUE_WITHOUT_DEAD_LOCKING"
  " KLSDKVersion"
  " KelvoUISDKVersionNumber"
  " KelvoUISDKVersionString"
  " KLSDKMeetingConfigMeetingUUID"
  " KLUISDKMeetingConfigMeetingUUID"
  " KLUISDKGuiConfigMeetingRateUrl")
foreach(symbol IN LISTS required)
  string(FIND "${symbols}" "${symbol}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "not exported: ${symbol}")
  endif()
endforeach()

set(hidden KLDispatchQueue KLNotificationCenter KLTimeScale kl_log_detail KLDictionary
           KL_stringForKey KLClientConfigManager UserPersistentData)
foreach(name IN LISTS hidden)
  string(FIND "${symbols}" "${name}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "internal symbol exported: ${name}")
  endif()
endforeach()
message(STATUS "exports of ${LIBRARY} are as intended")
