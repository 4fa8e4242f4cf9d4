// The host's objects that the job supervisor reaches: the main window and the three kinds of
// machine command object. Each holds only what the supervisor uses of it; a host derives from
// them and fills in the waits and aborts. Virtual members are counted from 1 in the order
// declared (slot 3 is the third virtual member); they take no argument and their results are
// not used.
#pragma once

#include <cstdint>

class CMainWindow {
  public:
    int32_t VorausschauEin = 0;  // non-zero: the job supervisor also runs the look-ahead estimate
};

// Machine type 2.
class MaschCommand {
  public:
    virtual void Virtuell1() {}
    virtual void Virtuell2() {}
    virtual void WarteFertig() {}  // slot 3: waits until the machine has finished its blocks
    virtual void Virtuell4() {}
    virtual void Virtuell5() {}
    virtual void Virtuell6() {}
    virtual void Virtuell7() {}
    virtual void Virtuell8() {}
    virtual void Virtuell9() {}
    virtual void Virtuell10() {}
    virtual void FehlerInSteuerung() {}  // slot 11: raises the abort on the machine
    virtual ~MaschCommand() = default;

    int32_t Zustand = 0;      // set to -1 when a job starts
    char LetzteTaste = 0;     // the last key the machine side saw
    int16_t Abbruch[2] = {};  // abort flags
};

// Machine type 11.
class MaschCommand_P {
  public:
    virtual void Virtuell1() {}
    virtual void Virtuell2() {}
    virtual void WarteFertig() {}  // slot 3
    virtual ~MaschCommand_P() = default;

    char LetzteTaste = 0;
    int16_t Abbruch[3] = {};  // an Escape raises all three, a fault the first two
};

// Machine type 12.
class MaschCommand_C {
  public:
    virtual void Virtuell1() {}
    virtual void Virtuell2() {}
    virtual void Virtuell3() {}
    virtual void Virtuell4() {}
    virtual void Virtuell5() {}
    virtual void Virtuell6() {}
    virtual void Virtuell7() {}
    virtual void Virtuell8() {}
    virtual void Virtuell9() {}
    virtual void Virtuell10() {}
    virtual void Virtuell11() {}
    virtual void Virtuell12() {}
    virtual void Virtuell13() {}
    virtual void Virtuell14() {}
    virtual void Virtuell15() {}
    virtual void Virtuell16() {}
    virtual void Virtuell17() {}
    virtual void Virtuell18() {}
    virtual void Virtuell19() {}
    virtual void Virtuell20() {}
    virtual void Virtuell21() {}
    virtual void Virtuell22() {}
    virtual void Virtuell23() {}
    virtual void Virtuell24() {}
    virtual void Virtuell25() {}
    virtual void WarteFertig() {}  // slot 26
    virtual ~MaschCommand_C() = default;

    char LetzteTaste = 0;
    int16_t Abbruch[2] = {};
};
