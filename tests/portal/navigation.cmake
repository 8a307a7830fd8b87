# Navigation after login, in the real engine against the fake portal's application.
velmoria_add_test(tst_navigation SOURCES tst_navigation.cpp
    LIBS velmoria_portal velmoria_fakeportal Qt6::Network Qt6::WebEngineCore LABELS webengine)
