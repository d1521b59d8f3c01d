#pragma once

// A small CAN database of our own for the GUI's decoding tests: an Intel message with scaled,
// signed and named signals and a Motorola signal crossing a byte at an odd bit, and an extended
// multiplexed message. Expected values in the tests are worked out by hand from the layout below.
//
//   Engine 0x100, 8 bytes: Speed  bytes 0-1 Intel, x0.25 rpm
//                          Temp   byte 2 signed, -40 degC
//                          Gear   byte 3 bits 0-2, named
//                          Torque Motorola, byte 4 bits 3-0 then byte 5, signed, x0.1 -10 Nm
//                          Tail   byte 6
//   Mux 0x18FF50E5 extended, 4 bytes: Selector byte 0; Volt (Selector 1) and Count (Selector 2)
//                          both bytes 1-2 Intel
//   Diag 0x200, 3 bytes: Service byte 0 switches Sub (byte 1, Service 1), which switches Value
//                          (byte 2, Sub 2): extended multiplexing

#include <QByteArray>

inline QByteArray vehicleDbc()
{
    return QByteArrayLiteral("VERSION \"\"\n"
                             "\n"
                             "NS_ :\n"
                             "\n"
                             "BS_:\n"
                             "\n"
                             "BU_: ECU GW\n"
                             "\n"
                             "BO_ 256 Engine: 8 ECU\n"
                             " SG_ Speed : 0|16@1+ (0.25,0) [0|16383.75] \"rpm\" GW\n"
                             " SG_ Temp : 16|8@1- (1,-40) [-168|87] \"degC\" GW\n"
                             " SG_ Gear : 24|3@1+ (1,0) [0|7] \"\" GW\n"
                             " SG_ Torque : 35|12@0- (0.1,-10) [-214.8|194.7] \"Nm\" GW\n"
                             " SG_ Tail : 48|8@1+ (1,0) [0|255] \"\" GW\n"
                             "\n"
                             "BO_ 2566869221 Mux: 4 GW\n"
                             " SG_ Selector M : 0|8@1+ (1,0) [0|255] \"\" ECU\n"
                             " SG_ Volt m1 : 8|16@1+ (0.01,0) [0|655.35] \"V\" ECU\n"
                             " SG_ Count m2 : 8|16@1+ (1,0) [0|65535] \"\" ECU\n"
                             "\n"
                             "BO_ 512 Diag: 3 GW\n"
                             " SG_ Service M : 0|8@1+ (1,0) [0|255] \"\" ECU\n"
                             " SG_ Sub m1M : 8|8@1+ (1,0) [0|255] \"\" ECU\n"
                             " SG_ Value m2 : 16|8@1+ (1,0) [0|255] \"\" ECU\n"
                             "\n"
                             "VAL_ 256 Gear 0 \"Park\" 1 \"Reverse\" 2 \"Neutral\" 3 \"Drive\" ;\n"
                             "SG_MUL_VAL_ 512 Sub Service 1-1;\n"
                             "SG_MUL_VAL_ 512 Value Sub 2-2;\n");
}
