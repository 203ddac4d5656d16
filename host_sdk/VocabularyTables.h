// The host's name tables: display texts for the codes of camera families, camera states, port
// types and image formats. Every file that includes this header holds its own copy of each table,
// built at static initialisation in the order declared here.
#pragma once

#include <QMap>
#include <QString>
#include <initializer_list>
#include <utility>

// Builds a table by inserting the pairs in the listed order; a repeated code replaces the text.
inline QMap<int, QString> zazodBuildNameTable(std::initializer_list<std::pair<int, const char*>> pairs) {
  QMap<int, QString> table;
  for (const auto& pair : pairs) {
    table.insert(pair.first, QString::fromLatin1(pair.second));
  }
  return table;
}

static const QMap<int, QString> g_cameraFamilyNames = zazodBuildNameTable({
    {0, "Unknown(0)"},
    {100, "Virtual Camera(100)"},
    {110, "BitFlow(110)"},
    {120, "Gige(120)"},
    {130, "USB Camera(130)"},
    {140, "HIK(140)"},
    {150, "Vimba(150)"},
    {160, "Baumer(160)"},
    {170, "AdLink(170)"},
    {180, "DaHua(180)"},
    {190, "Basler(190)"},
    {200, "PtGray(200)"},
    {220, "Euresys(220)"},
    {230, "Dalsa(230)"},
});

static const QMap<int, QString> g_cameraStateNames = zazodBuildNameTable({
    {0, "Uninitialized"},
    {1, "Initialized"},
    {2, "Opened"},
    {3, "Running"},
    {4, "Paused"},
    {5, "Closed"},
});

static const QMap<int, QString> g_portTypeNames = zazodBuildNameTable({
    {0, "Unknown"},
    {1, "Serial Port"},
    {2, "USB Port"},
    {3, "TCP Client"},
    {4, "TCP Server"},
    {5, "TCP Client Session"},
});

static const QMap<int, QString> g_imageFormatNames = zazodBuildNameTable({
    {0, "None"},
    {1, "GRAY8"},
    {2, "RGB24"},
    {3, "RGB32"},
    {4, "GRAY16"},
    {5, "RGB48"},
    {11, "BGR24"},
    {12, "BGR32"},
});
