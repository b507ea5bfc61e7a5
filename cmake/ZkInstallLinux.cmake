# What "cmake --install" puts on a Linux system, and so what the .deb carries: the program and its
# manual page, the udev rule that lets the logged-in user open the keyboard, the desktop entry,
# the clock icon in the hicolor theme, the copyright notice and the changelog. Pictures and sounds
# are compiled into the program, so there are no data files to install.
include(GNUInstallDirs)

install(TARGETS zentrikclock RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# udev reads <prefix>/lib/udev/rules.d (/usr and /usr/local), never the multiarch library folder.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/70-zentrik-keyboard.rules DESTINATION lib/udev/rules.d)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/zentrikclock.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The manual page and Debian's documentation folder: the copyright notice and a changelog naming
# this version (dated when the build was configured, or by SOURCE_DATE_EPOCH). Pages and
# changelogs are installed compressed.
string(TIMESTAMP ZK_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
set(compressed)
foreach(file ${PROJECT_SOURCE_DIR}/packaging/zentrikclock.1 ${CMAKE_BINARY_DIR}/packaging/changelog)
    get_filename_component(name ${file} NAME)
    set(gz ${CMAKE_BINARY_DIR}/packaging/${name}.gz)
    add_custom_command(OUTPUT ${gz}
        COMMAND gzip -9 -n -c ${file} > ${gz}
        DEPENDS ${file}
        VERBATIM)
    list(APPEND compressed ${gz})
endforeach()
add_custom_target(zk_compressed_docs ALL DEPENDS ${compressed})
install(FILES ${CMAKE_BINARY_DIR}/packaging/zentrikclock.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zentrikclock)

# The program's icon is the clock drawing. Its 256 px picture is the one the program carries;
# the smaller sizes a desktop asks for are rendered from the drawing here.
find_program(ZK_RSVG_CONVERT rsvg-convert)
if(NOT ZK_RSVG_CONVERT)
    message(FATAL_ERROR "rsvg-convert (Debian package librsvg2-bin) renders the program's icons")
endif()
set(icon_svg ${PROJECT_SOURCE_DIR}/src/resources/img/clock.svg)
set(icon_theme ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
set(icon_pngs)
foreach(size 16 22 24 32 48 64 128)
    set(dir ${CMAKE_BINARY_DIR}/icons/${size}x${size})
    add_custom_command(OUTPUT ${dir}/zentrikclock.png
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
        COMMAND ${ZK_RSVG_CONVERT} -w ${size} -h ${size} -o ${dir}/zentrikclock.png ${icon_svg}
        DEPENDS ${icon_svg}
        COMMENT "Rendering the ${size}x${size} program icon"
        VERBATIM)
    list(APPEND icon_pngs ${dir}/zentrikclock.png)
    install(FILES ${dir}/zentrikclock.png DESTINATION ${icon_theme}/${size}x${size}/apps)
endforeach()
add_custom_target(zk_icons ALL DEPENDS ${icon_pngs})
install(FILES ${PROJECT_SOURCE_DIR}/src/resources/img/clock.png
        DESTINATION ${icon_theme}/256x256/apps RENAME zentrikclock.png)
install(FILES ${icon_svg} DESTINATION ${icon_theme}/scalable/apps RENAME zentrikclock.svg)
