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
    # A capture through the acquisition thread and the frame slot into files.
    kessane_add_test(NAME tst_LumiCamCapture SOURCES tst_LumiCamCapture.cpp WindowDriver.h
      LIBS lumivar_shell station_testsupport simcam TIMEOUT 60 LOCK simcam3956)
    # Remote control (on an ephemeral port) and the modes with the simulated generator.
    if(TARGET pulsegensim AND TARGET remoteclient)
      kessane_add_test(NAME tst_LumiCamRemote SOURCES tst_LumiCamRemote.cpp WindowDriver.h
        LIBS lumivar_shell station_testsupport simcam pulsegensim remoteclient TIMEOUT 90 LOCK simcam3956)
    endif()
  endif()
endif()
