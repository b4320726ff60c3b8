# The program's pictures, compiled into mivaromap_core as the resource file
# "mivaromap" (see resources.h for how main() and tests register it).
#
# Most icons come from Debian's tango-icon-theme (public domain); the few that
# theme has no match for are drawn by resources/drawicons.cpp and committed
# under resources/. Everything is copied into the build tree under the names
# the program asks for, next to a generated .qrc.

set(MIVAROMAP_TANGO_DIR "/usr/share/icons/Tango/24x24" CACHE PATH
    "Folder of the 24x24 Tango icons (Debian package tango-icon-theme)")

# resource name = file of the Tango theme, relative to MIVAROMAP_TANGO_DIR
set(_tango_icons
    "search_field.png=actions/edit-clear.png"
    "next.png=actions/go-next.png"
    "prev.png=actions/go-previous.png"
    "find.png=actions/edit-find.png"
    "update.png=actions/view-refresh.png"
    "delete.png=actions/edit-delete.png"
    "question.png=apps/help-browser.png"
    "help.png=apps/help-browser.png"
    "expand.png=actions/list-add.png"
    "document-open-5.png=actions/document-open.png"
    "document-save-as-3.png=actions/document-save-as.png"
    "pelwicktools.png=mimetypes/x-office-document.png")

# resource path = file in this folder
set(_own_pictures
    "icons/siro16.png=icons/siro16.png"
    "icons/color.png=icons/color.png"
    "icons/allclr.png=icons/allclr.png"
    "icons/clr.png=icons/clr.png"
    "icons/qt-icon.png=icons/qt-icon.png"
    "icons/mapimage.png=icons/mapimage.png"
    "resources/images/flag.png=images/flag.png"
    "resources/images/flag@2x.png=images/flag@2x.png")

set(_rcc_dir "${CMAKE_BINARY_DIR}/resources")
set(_qrc_entries "")
set(_missing "")

foreach(_pair IN LISTS _tango_icons)
    string(REPLACE "=" ";" _pair "${_pair}")
    list(GET _pair 0 _name)
    list(GET _pair 1 _file)
    if(EXISTS "${MIVAROMAP_TANGO_DIR}/${_file}")
        configure_file("${MIVAROMAP_TANGO_DIR}/${_file}" "${_rcc_dir}/icons/${_name}" COPYONLY)
        string(APPEND _qrc_entries "        <file>icons/${_name}</file>\n")
    else()
        list(APPEND _missing "${MIVAROMAP_TANGO_DIR}/${_file}")
    endif()
endforeach()

if(_missing)
    list(REMOVE_DUPLICATES _missing)
    list(JOIN _missing "\n  " _missing_text)
    message(FATAL_ERROR
        "The icons of the Debian package tango-icon-theme are missing:\n  ${_missing_text}\n"
        "Install it with 'apt-get install tango-icon-theme' (scripts/setup.sh does), "
        "or point MIVAROMAP_TANGO_DIR at a folder of the Tango 24x24 icons.")
endif()

foreach(_pair IN LISTS _own_pictures)
    string(REPLACE "=" ";" _pair "${_pair}")
    list(GET _pair 0 _name)
    list(GET _pair 1 _file)
    configure_file("${CMAKE_CURRENT_LIST_DIR}/${_file}" "${_rcc_dir}/${_name}" COPYONLY)
    string(APPEND _qrc_entries "        <file>${_name}</file>\n")
endforeach()

# Written through configure_file so that an unchanged list keeps its time stamp
# and a re-run of CMake does not recompile the resources.
file(WRITE "${_rcc_dir}/mivaromap.qrc.in"
"<!DOCTYPE RCC>
<RCC version=\"1.0\">
    <qresource prefix=\"/\">
${_qrc_entries}    </qresource>
</RCC>
")
configure_file("${_rcc_dir}/mivaromap.qrc.in" "${_rcc_dir}/mivaromap.qrc" COPYONLY)

target_sources(mivaromap_core PRIVATE "${_rcc_dir}/mivaromap.qrc"
    "${CMAKE_CURRENT_LIST_DIR}/resources.h")

# Redraws our own pictures into the source tree; not part of the normal build.
add_executable(mivaromap_drawicons EXCLUDE_FROM_ALL "${CMAKE_CURRENT_LIST_DIR}/drawicons.cpp")
target_link_libraries(mivaromap_drawicons PRIVATE Qt5::Gui)
mivaromap_warnings(mivaromap_drawicons)
add_custom_target(redraw_icons
    COMMAND mivaromap_drawicons "${CMAKE_CURRENT_LIST_DIR}"
    COMMENT "Redrawing the pictures in resources/")
