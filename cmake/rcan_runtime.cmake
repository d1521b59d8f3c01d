# Pictures and the translation: the compiled-in pictures are drawn by a small generator at build
# time; the window icon, the about logo and the English translation are laid out beside the
# program under ${RCAN_RUNTIME_DIR}, the way they are installed.

set(RCAN_ART_DIR ${CMAKE_BINARY_DIR}/artwork)
set(RCAN_ART_PICTURES
    images2/bar_manageV2.png images2/bar_manageV1.jpg
    images2/bar_sendV2.png images2/bar_sendV1.jpg
    images2/bar_prectV2.png images2/bar_prectV1.jpg
    images2/bar_helpV2.png images2/bar_helpv1.jpg
    images2/logo_1.png images2/check2.png
    images2/spin_up.png images2/spin_down.png images2/spin_up_off.png images2/spin_down_off.png
    image/msg_question.png
    Images/White/minimizeHover.png Images/White/maximizeHover.png Images/White/closeHover.png)
list(TRANSFORM RCAN_ART_PICTURES PREPEND ${RCAN_ART_DIR}/)
set(RCAN_RUNTIME_PICTURES
    ${RCAN_RUNTIME_DIR}/resource/favicon.ico
    ${RCAN_RUNTIME_DIR}/resource/images2/Rivex_LOGO.png)

# The generator's source ends in .cxx so that the library's *.cpp glob leaves it out.
add_executable(rcan-artwork ${CMAKE_SOURCE_DIR}/app/resources/artwork.cxx)
target_link_libraries(rcan-artwork PRIVATE rcan_options Qt5::Gui)
set_target_properties(rcan-artwork PROPERTIES
    AUTOMOC OFF AUTOUIC OFF AUTORCC OFF
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/buildtools)

add_custom_command(
    OUTPUT ${RCAN_ART_PICTURES} ${RCAN_RUNTIME_PICTURES}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:rcan-artwork> ${RCAN_ART_DIR} ${RCAN_RUNTIME_DIR}
    DEPENDS rcan-artwork
    COMMENT "Drawing the program's pictures"
    VERBATIM)

# rcc runs explicitly (not through AUTORCC) so that it waits for the generated pictures.
configure_file(${CMAKE_SOURCE_DIR}/app/resources/rcan_art.qrc.in ${RCAN_ART_DIR}/rcan_art.qrc @ONLY)
set(RCAN_ART_RCC ${RCAN_ART_DIR}/qrc_rcan_art.cpp)
add_custom_command(
    OUTPUT ${RCAN_ART_RCC}
    COMMAND Qt5::rcc --name rcan_art --output ${RCAN_ART_RCC} ${RCAN_ART_DIR}/rcan_art.qrc
    DEPENDS ${RCAN_ART_DIR}/rcan_art.qrc ${RCAN_ART_PICTURES}
            ${CMAKE_SOURCE_DIR}/app/resources/qt.conf
    VERBATIM)
set_source_files_properties(${RCAN_ART_RCC} PROPERTIES SKIP_AUTOGEN ON GENERATED ON)
target_sources(rcan PRIVATE ${RCAN_ART_RCC})

# English translation, compiled from the committed .ts; lupdate never runs in a normal build.
set(RCAN_TS_FILE ${CMAKE_SOURCE_DIR}/app/translations/Language_EN.ts)
set_source_files_properties(${RCAN_TS_FILE} PROPERTIES OUTPUT_LOCATION ${RCAN_RUNTIME_DIR}/language)
qt5_add_translation(RCAN_QM_FILES ${RCAN_TS_FILE})

add_custom_target(rcan_runtime_files ALL DEPENDS ${RCAN_QM_FILES} ${RCAN_RUNTIME_PICTURES})
# Everything linking the library (the program, tests, tools) finds its files beside it.
add_dependencies(rcan rcan_runtime_files)

# Refreshing the .ts from the sources is a deliberate step: cmake --build <dir> --target rcan-lupdate
find_program(RCAN_LUPDATE NAMES lupdate lupdate-qt5 HINTS ${Qt5_DIR}/../../../bin /usr/lib/qt5/bin)
set(RCAN_LUPDATE_DIRS)
foreach(dir protocol link device display recording send busload simulator app cli candb)
    if(EXISTS ${CMAKE_SOURCE_DIR}/${dir})
        list(APPEND RCAN_LUPDATE_DIRS ${dir})
    endif()
endforeach()
if(RCAN_LUPDATE)
    add_custom_target(rcan-lupdate
        COMMAND ${RCAN_LUPDATE} -locations none ${RCAN_LUPDATE_DIRS}
                -ts ${RCAN_TS_FILE}
        WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
        VERBATIM)
endif()

install(FILES ${RCAN_RUNTIME_DIR}/resource/favicon.ico
        DESTINATION ${CMAKE_INSTALL_DATADIR}/rcan-tools/resource)
install(FILES ${RCAN_RUNTIME_DIR}/resource/images2/Rivex_LOGO.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/rcan-tools/resource/images2)
install(FILES ${RCAN_QM_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/rcan-tools/language)
