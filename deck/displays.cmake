# The deck's displays: spectrum picture, level meter, processor load, file-name scrolling and the
# window drag by the title label.
add_library(zentari_deck_displays STATIC
  ${CMAKE_CURRENT_LIST_DIR}/FrequencyPicture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FrequencyView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LevelMeterModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LevelMeter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CpuLoadDisplay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileNameScroller.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WindowDrag.cpp
)
target_include_directories(zentari_deck_displays PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zentari_deck_displays PUBLIC zentari_common Qt6::Widgets)
