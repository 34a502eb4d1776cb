// The lines Kelvra's lists show, each typed once: the dialog, its resource
// script, the automation client and the tests all take them from here. The
// resource compiler reads this file too, so the size rows are macros.
#pragma once

// The EEPROM size list's rows, in list order, with the length of each row's
// DLGINIT record: the text and its NUL.
#define KELVRA_SIZE_ROW_24C02 "24C02 ->  256 bytes"
#define KELVRA_SIZE_ROW_24C02_RECORD 20L
#define KELVRA_SIZE_ROW_24C04 "24C04 ->  512 bytes"
#define KELVRA_SIZE_ROW_24C04_RECORD 20L
#define KELVRA_SIZE_ROW_24C08 "24C08 ->  1024 bytes"
#define KELVRA_SIZE_ROW_24C08_RECORD 21L
#define KELVRA_SIZE_ROW_24C16 "24C16 ->  2048 bytes"
#define KELVRA_SIZE_ROW_24C16_RECORD 21L

#ifndef RC_INVOKED
namespace KelvraText
{
// The message list's lines.
inline constexpr char NoDevice[] = "Please Plug-in Vantrel Usb Device!";
inline constexpr char NoImage[] = "Please Select Hex File!";
inline constexpr char Writing[] = "Writing ........";
inline constexpr char WriteSuccess[] = "Write Success!";
inline constexpr char WriteFail[] = "Write Fail!";
inline constexpr char Verifying[] = "Verifying ........";
inline constexpr char VerifySuccess[] = "Verify Success!";
inline constexpr char VerifyFail[] = "Verify Fail!";

inline constexpr const char* EepromSizeRows[4] = {KELVRA_SIZE_ROW_24C02, KELVRA_SIZE_ROW_24C04, KELVRA_SIZE_ROW_24C08,
                                                  KELVRA_SIZE_ROW_24C16};

static_assert(sizeof KELVRA_SIZE_ROW_24C02 == KELVRA_SIZE_ROW_24C02_RECORD, "DLGINIT record length");
static_assert(sizeof KELVRA_SIZE_ROW_24C04 == KELVRA_SIZE_ROW_24C04_RECORD, "DLGINIT record length");
static_assert(sizeof KELVRA_SIZE_ROW_24C08 == KELVRA_SIZE_ROW_24C08_RECORD, "DLGINIT record length");
static_assert(sizeof KELVRA_SIZE_ROW_24C16 == KELVRA_SIZE_ROW_24C16_RECORD, "DLGINIT record length");
}  // namespace KelvraText
#endif
