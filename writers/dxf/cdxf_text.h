// CDXF_TEXT: the DXF writer. The cutting moves of a job become a two-dimensional drawing in the
// DXF exchange format, release AC1009: a fixed header and table section sized to the workpiece,
// then one LINE entity per feed move and one ARC or CIRCLE entity per arc, all on layer 1.
// Rapid moves, Z, tools, feeds and the spindle are not drawn. Before the file is opened the
// operator may edit its name in a text input dialog.
//
// Units and signs: coordinates are millimetres as given (Z is always 0.0); angles are radians,
// a positive sweep runs counter-clockwise. DXF arcs always run counter-clockwise, so a negative
// sweep is written from its end angle to its start angle.
//
// Error model: members never throw. A NaN or infinite value is refused: the entity is not
// written, and the channel's error record names the member and the value (2103), which stops
// all further output. Entities before the header (no SetzePosInfos or Start) give a file
// without header; the writer does not reorder calls.
//
// The class has no virtual members and no behaviour in construction; the host copies it whole.
#pragma once

#include <cstdint>

#include "common/records.h"
#include "common/wintypes.h"

class CDXF_TEXT {
  public:
    int Init(InitStruct* init, int a, int32_t b);  // nothing; returns 0
    // Owner window of the file-name dialog; to be called before Open.
    void SetzeSpezial(int32_t unused, HWND owner);
    // Lets the operator edit the file name (basePath, in and out: the host's path buffer of at
    // least kPfadLaenge bytes, without extension), then opens the channel. Returns 0 on
    // success, 1 when the operator cancels the dialog (nothing else happens) or the edited path
    // does not fit, else popen's result. Sets *openedBefore to 1 unless cancelled.
    int Open(short portWanted, const MaschEinstellung* settings, char* basePath, int* openedBefore,
             int geraeteart, const char* profile);
    // Chooses the drawing size (alternative pair, exchanged pair, or as given) and calls Start.
    void SetzePosInfos(float width, float height, float altWidth, float altHeight, int axisExchange,
                       int multiplePlate, float viceCentreX, float viceCentreY, int vice);
    // Writes the header and tables once, the view sized to width x height mm. Returns 0.
    int Start(float width, float height);
    // Travel moves: only set the point the next line starts from.
    void Move3(float x, float y, float z);
    void Move_abs(float x, float y);
    // A LINE from the last point to (x, y); z is ignored.
    void Draw(float x, float y);
    void Draw3(float x, float y, float z, short depthMode);
    // A CIRCLE when |sweep| is within 0.001 of 2 pi, else an ARC. The last point becomes the
    // end point.
    void Kreis(float centreX, float centreY, float radius, float startAngle, float sweep,
               float endX, float endY);
    // Writes the text as it stands, without a line end.
    void SStringln(const char* text);
    // Writes the line buffer when it is not empty.
    void Ausgabe(int check);
    // Writes the end of the file and closes the channel. Returns 0.
    int Close(int closePort, int closeFile);
    void FBStInfo(BSTINFO* info);
    int32_t RundeL(float value);  // half away from zero; not used by the output
    int SendeBefehl(const char*) { return 0; }

    // Members of the writer vocabulary a drawing has no use for.
    void WkzW(int, int, float, float) {}
    void MoveZ(float) {}
    void Spindea(int) {}
    void Wait(float) {}
    void Stop() {}
    void ToolCheck() {}
    void SetzeVorschuebe(float, float) {}
    void SetzeGTiefe(float, short) {}
    void SetzeFlughAbsolut(float, float) {}
    void SetzePD(char* buffer) { buffer[0] = '\0'; }
    void SetzePU(char* buffer) { buffer[0] = '\0'; }
    void WZWPplusB(WZW_PB_STRUCT*, short) {}
    void Zustellachse() {}
    void Actuator() {}

    // The host's path buffers hold this many bytes (the Windows MAX_PATH).
    static constexpr int kPfadLaenge = 260;
    // Longest file name the dialog takes.
    static constexpr int kNameLaenge = 55;

    int32_t Geraeteart = 0;
    int32_t Optionen = 0;
    float LetzteX = 0.0f, LetzteY = 0.0f;  // end of the last move, mm
    int16_t Gestartet = 0;                 // the header has been written
    int32_t Layer = 1;                     // layer of every entity
    char Zeile[512] = {};                  // the current group block
    HWND Besitzer = nullptr;               // owner of the file-name dialog

  private:
    void Block(const char* format, ...) __attribute__((format(printf, 2, 3)));
};
