# Camera search dialog and acquisition thread.
kessane_add_test(NAME tst_frameaveraging SOURCES tst_frameaveraging.cpp LIBS lumivar_acqcore)
kessane_add_test(NAME tst_camerarows SOURCES tst_camerarows.cpp LIBS lumivar_acqcore)

# Against the simulated camera: discovery on 127.0.0.1 (one such test at a
# time), the acquisition thread on a camera of its own address.
if(TARGET simcam)
  kessane_add_test(NAME tst_camsearchdlg SOURCES tst_camsearchdlg.cpp
    LIBS lumivar_acquisition station_testsupport simcam TIMEOUT 120 LOCK simcam3956)
  kessane_add_test(NAME tst_acqthread SOURCES tst_acqthread.cpp
    LIBS lumivar_acquisition simcam TIMEOUT 180)
endif()
if(TARGET gvcppeer)
  kessane_add_test(NAME tst_camsearchip SOURCES tst_camsearchip.cpp
    LIBS lumivar_acquisition station_testsupport gvcppeer TIMEOUT 120 LOCK simcam3956)
endif()
