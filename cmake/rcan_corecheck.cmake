# Keeps the core free of the GUI. rcan_check_core_links() walks everything a target links, directly
# and through its dependencies' interfaces, and stops the configure when QtGui, QtWidgets or
# QtPrintSupport shows up. The include side is checked by the test tst_core_guifree
# (cmake/rcan_coreincludes.cmake), which reads the source lists written here.

set(RCAN_GUI_QT_TARGETS Qt5::Gui Qt5::Widgets Qt5::PrintSupport QCustomPlot::QCustomPlot)

function(_rcan_collect_links target chain)
    get_property(seen GLOBAL PROPERTY _RCAN_LINK_SEEN)
    if(target IN_LIST seen)
        return()
    endif()
    set_property(GLOBAL APPEND PROPERTY _RCAN_LINK_SEEN ${target})
    if(NOT TARGET ${target})
        return()
    endif()
    get_target_property(type ${target} TYPE)
    set(links)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
        get_target_property(direct ${target} LINK_LIBRARIES)
        if(direct)
            list(APPEND links ${direct})
        endif()
    endif()
    get_target_property(iface ${target} INTERFACE_LINK_LIBRARIES)
    if(iface)
        list(APPEND links ${iface})
    endif()
    foreach(link IN LISTS links)
        # $<LINK_ONLY:X> and similar wrappers still link X.
        string(REGEX REPLACE "^\\$<[A-Z_]+:(.*)>$" "\\1" link "${link}")
        if(link IN_LIST RCAN_GUI_QT_TARGETS)
            message(FATAL_ERROR
                "The core must not link ${link} (via ${chain} -> ${link}). Move the GUI code "
                "out of the core, or hand its data to the GUI through a signal.")
        endif()
        _rcan_collect_links(${link} "${chain} -> ${link}")
    endforeach()
endfunction()

function(rcan_check_core_links target)
    set_property(GLOBAL PROPERTY _RCAN_LINK_SEEN "")
    _rcan_collect_links(${target} ${target})
endfunction()

# For the include check: which files the core is built from and which belong to the GUI.
function(rcan_write_source_lists core_sources gui_sources)
    string(REPLACE ";" "\n" core_text "${core_sources}")
    string(REPLACE ";" "\n" gui_text "${gui_sources}")
    file(WRITE ${CMAKE_BINARY_DIR}/rcan_core_sources.txt "${core_text}\n")
    file(WRITE ${CMAKE_BINARY_DIR}/rcan_gui_sources.txt "${gui_text}\n")
endfunction()
