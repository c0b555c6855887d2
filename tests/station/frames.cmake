# Tests of the station's frame modules (conversion, TIFF, capture files, scene).
kessane_add_test(NAME tst_PixelConversion SOURCES tst_PixelConversion.cpp LIBS lumivar_frames)
kessane_add_test(NAME tst_CaptureNaming SOURCES tst_CaptureNaming.cpp LIBS lumivar_frames station_testsupport)
kessane_add_test(NAME tst_TiffWriter SOURCES tst_TiffWriter.cpp LIBS lumivar_frames)
kessane_add_test(NAME tst_CaptureFiles SOURCES tst_CaptureFiles.cpp LIBS lumivar_frames station_testsupport)
kessane_add_test(NAME tst_ImageScene SOURCES tst_ImageScene.cpp LIBS lumivar_frames station_testsupport)
