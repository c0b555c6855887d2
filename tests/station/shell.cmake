# Main window: pure helpers, start-up without a camera, and connecting to the
# simulated camera (discovery finds it on 127.0.0.1:3956, hence the lock).
if(TARGET lumivar_shell)
  kessane_add_test(NAME tst_StationSettings SOURCES tst_StationSettings.cpp LIBS lumivar_shell)
  kessane_add_test(NAME tst_ShellFormat SOURCES tst_ShellFormat.cpp LIBS lumivar_shell)
  kessane_add_test(NAME tst_LumiCamStartup SOURCES tst_LumiCamStartup.cpp
    LIBS lumivar_shell station_testsupport LOCK simcam3956)
  if(TARGET simcam)
    kessane_add_test(NAME tst_LumiCamConnect SOURCES tst_LumiCamConnect.cpp
      LIBS lumivar_shell station_testsupport simcam TIMEOUT 180 LOCK simcam3956)
  endif()
endif()
