# The modules Pellaton is delivered as, all built from one source: one per host release and
# processor, named Pellaton<release><processor>.arx. A 64-bit build makes the x64 ones, a 32-bit
# build the x32 ones. The release series (R22.0 for release 2018, ...) is how the host's
# autoloader names releases in a plug-in bundle.
set(PELLATON_RELEASES_x64 2018 2019 2021)
set(PELLATON_RELEASES_x32 2018 2020)
set(PELLATON_SERIES_2018 R22.0)
set(PELLATON_SERIES_2019 R23.0)
set(PELLATON_SERIES_2020 R23.1)
set(PELLATON_SERIES_2021 R24.0)

# The module that each processor's build runs the whole plug-in test suite against: between
# them, both processors and both string-getter variants. The other modules run the suite of what
# differs between modules.
set(PELLATON_FULL_SUITE_RELEASE_x64 2021)
set(PELLATON_FULL_SUITE_RELEASE_x32 2018)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(PELLATON_PROCESSOR x64)
  set(PELLATON_OTHER_PROCESSOR x32)
else()
  set(PELLATON_PROCESSOR x32)
  set(PELLATON_OTHER_PROCESSOR x64)
endif()
set(PELLATON_RELEASES ${PELLATON_RELEASES_${PELLATON_PROCESSOR}})
set(PELLATON_FULL_SUITE_RELEASE ${PELLATON_FULL_SUITE_RELEASE_${PELLATON_PROCESSOR}})

# pellaton_module_name(out release processor): the module's target and file name without ".arx".
function(pellaton_module_name out release processor)
  set(${out} Pellaton${release}${processor} PARENT_SCOPE)
endfunction()

# The folder of a 64-bit build that holds the plug-in bundle (Pellaton.bundle), laid out as a
# host's plug-ins folder.
set(PELLATON_PLUGINS_FOLDER ApplicationPlugins)
