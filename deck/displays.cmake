# The deck's displays: spectrum picture, level meter, processor load and file-name scrolling.
add_library(zentari_deck_displays STATIC
  ${CMAKE_CURRENT_LIST_DIR}/FrequencyPicture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FrequencyView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LevelMeterModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LevelMeter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CpuLoadDisplay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileNameScroller.cpp
)
target_include_directories(zentari_deck_displays PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zentari_deck_displays PUBLIC zentari_common zentari_widgets Qt6::Widgets)
