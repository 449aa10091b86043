# FLTK 1.3, linked statically: Debian's FLTKConfig.cmake needs fluid and drags in
# GL and forms, so the static archive and its X11 dependencies are named here.
find_library(FLTK_STATIC_LIB NAMES libfltk.a REQUIRED)
find_path(FLTK_INCLUDE_DIR FL/Fl.H REQUIRED)
find_package(X11 REQUIRED)
find_package(Fontconfig REQUIRED)
find_package(Threads REQUIRED)

add_library(fltk_static INTERFACE)
target_include_directories(fltk_static SYSTEM INTERFACE ${FLTK_INCLUDE_DIR})
target_link_libraries(fltk_static INTERFACE
  ${FLTK_STATIC_LIB}
  X11::Xft X11::Xrender X11::Xcursor X11::Xfixes X11::Xinerama X11::Xext X11::X11
  Fontconfig::Fontconfig ${CMAKE_DL_LIBS} m Threads::Threads)
