# Saves the settings as the program does (the settings test), then lists the
# key with Wine's own reg tool and checks every documented name and type.
execute_process(COMMAND ${WINE_RUN} ${PREFIX} ${PROGRAM}
                  --gtest_filter=RegistrySettings.SavedByTheProgramWithTheDocumentedNamesAndTypes
                RESULT_VARIABLE saved OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT saved EQUAL 0)
  message(FATAL_ERROR "saving the settings failed:\n${log}")
endif()
execute_process(COMMAND ${WINE_RUN} ${PREFIX} reg query "HKCU\\Software\\Quenby Software\\Tessarin\\v1.1"
                RESULT_VARIABLE queried OUTPUT_VARIABLE listing ERROR_VARIABLE errors)
message("${listing}")
if(NOT queried EQUAL 0)
  message(FATAL_ERROR "reg query failed: ${errors}")
endif()
set(integers encrypt checkLogging checkMangling checkRecursive checkSensive checkWinOnTop
    checkMinimized checkWiping checkChangeExt checkKeepOriginal checkFilterCompress
    checkFilterExclusion comprFamily comprLevel comboBlockSize comboKeyLen comboOperMode zoomedIn)
foreach(name IN LISTS integers)
  if(NOT listing MATCHES "${name}[ \t]+REG_BINARY[ \t]+[0-9A-F]+")
    message(FATAL_ERROR "${name} is not a REG_BINARY value")
  endif()
endforeach()
if(NOT listing MATCHES "comboKeyLen[ \t]+REG_BINARY[ \t]+07000000")
  message(FATAL_ERROR "comboKeyLen is not the 4-byte image of 7")
endif()
if(NOT listing MATCHES "winRect[ \t]+REG_BINARY[ \t]+F8FFFFFF1400000014050000E4020000")
  message(FATAL_ERROR "winRect is not the 16-byte image of -8 20 1300 740")
endif()
foreach(pair "editPattern;\\*\\.txt" "editFilterExclusionList;\\*\\.zip \\*\\.7z" "editLogFilename;C:/Users/")
  list(GET pair 0 name)
  list(GET pair 1 text)
  if(NOT listing MATCHES "${name}[ \t]+REG_SZ[ \t]+${text}")
    message(FATAL_ERROR "${name} is not the REG_SZ text")
  endif()
endforeach()
