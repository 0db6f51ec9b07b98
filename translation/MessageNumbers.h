#pragma once
// The numbers of the translated messages: TranslateString(Msg::...) gives the
// text in the current language (translation/texts/Messages.csv, shipped in
// CFG/Translations.CSV). A file name, value or reason the program appends
// follows the text directly.
namespace Msg {
// Files
constexpr int LoadConfigReplacesSequence = 1;
constexpr int ConfigLoaded = 2; // + file name
constexpr int ConfigSaved = 3;  // + file name
// Link
constexpr int OfferToReadConfig = 4;
// Change sequence
constexpr int Erase = 5;
// Files
constexpr int SequenceSaved = 6; // + file name
constexpr int LoadSequenceAddsToSequence = 7;
constexpr int ReplaceAlreadyHolds = 8; // 8, word, 9, file value, 10, entry value, 11
constexpr int SequenceLoaded = 12;     // + file name
// Link state captions
constexpr int CaptionDisconnect = 13;
constexpr int StatusConnected = 14;
constexpr int CaptionConnect = 15;
constexpr int StatusNotConnected = 16;
// Configuration download
constexpr int ConfigRead = 17;
constexpr int GetConfigClearsSequence = 18;
// Firmware update
constexpr int FirmwareConfirmBefore = 19; // 19, file, 20
constexpr int FirmwareConfirmAfter = 20;
constexpr int FirmwareUpdated = 21;
// Translation page
constexpr int EmptyTranslation = 22;
// PCB version forced from the keyboard
constexpr int PcbVersionForced = 23; // + " " + version
constexpr int PcbVersionReleased = 24;
constexpr int NoPcbVersion = 25;
// Device link
constexpr int NoAnswer = 26;
constexpr int MalformedConfiguration = 27;
constexpr int BadCalibrationAnswer = 28;
// Firmware update
constexpr int FirmwareUpdateFailed = 29; // + exit code and last lines
constexpr int FirmwareImageInvalid = 30;
// Closing
constexpr int CloseWithPendingChanges = 31;
// Files
constexpr int RecordsLeftOut = 32; // + count
constexpr int FileNotLoaded = 33;  // + reason
// Editing
constexpr int NotANumber = 34;

// Values refused and limits kept (35 to 39)
constexpr int ValueOutOfLimitsNotSent = 35; // + "[word] description", 36, value, 37, limits
constexpr int RefusedValueIs = 36;
constexpr int RefusedLimitsAre = 37;

// Link faults and requests (40 to 49)
constexpr int LinkLost = 40; // the link closed while an answer was awaited

// File faults and bounded reports (50 to 59)
constexpr int ListAndMore = 50;    // the last line of a list cut short:
constexpr int ListMore = 51;       // 50, the number of lines not shown, 51
constexpr int ButtonYesToAll = 52; // captions of the question buttons
constexpr int ButtonNoToAll = 53;
constexpr int ButtonCancel = 54;
constexpr int FileNotWholeRecords = 55;      // a reason after 33; + file name
constexpr int FileTooManyRecords = 56;       // a reason after 33; + file name
constexpr int FileHoldsNoRecords = 57;       // + file name
constexpr int NoRecordLoaded = 58;           // + file name
constexpr int CommandTableHoldsNothing = 59; // + path of the commands file

// Read-back after store (60 to 64)
constexpr int ReadBackAllHeld = 60;
constexpr int ReadBackNotHeld = 61; // + one line per value the GCU does not hold
constexpr int ReadBackMissing = 62; // a value the configuration read back lacks
constexpr int ReadBackNotVerified = 64;

// Installation, ports and adapters (65 to 74)
constexpr int PermissionJoinGroup = 65; // + the command that adds the user to the group
constexpr int PermissionUdevRule = 66;
constexpr int PortBusyAdvice = 67;
constexpr int AdapterWithoutPort = 68; // + the adapter's name
constexpr int LanguageNotStored = 69;  // + reason
constexpr int CloseDuringFirmwareUpdate = 70;
constexpr int StatusReconnected = 71;

// Live plots and recordings (75 to 79)
constexpr int LivePlotsRecordingTo = 75;   // + file name
constexpr int LivePlotsWriteFailed = 76;   // + reason
constexpr int LivePlotsResolution = 77;    // %1 line interval in ms, %2 lines per second
constexpr int LivePlotsShiftTitles = 78;   // the shift table's column titles, "|"-separated
constexpr int LivePlotsNotARecording = 79; // + reason

// Restore points and comparison (80 to 95)
constexpr int RestorePointsNotWritten = 80;    // + reason; once per run
constexpr int RestorePointsHistoryTitles = 81; // the history's column titles, "|"-separated
constexpr int RestorePointsCompareTitles = 82; // the comparison's (and its CSV's) column titles
constexpr int RestoreReasonDownloaded = 83;    // 83 to 86: why a point was taken
constexpr int RestoreReasonBeforeStore = 84;
constexpr int RestoreReasonStored = 85;
constexpr int RestoreReasonBeforeFirmwareUpdate = 86;
constexpr int RestorePointsCounts =
    87; // %1 rows, %2 differing, %3..%5 pairs, %6 missing, %7 unknown
constexpr int RestorePointsComparedWith = 88; // + the point's or file's name
constexpr int RestorePointsTaken = 89;        // + how many values
constexpr int RestorePointsExported = 90;     // + file name
constexpr int RestorePointsNoUnitValues = 91;
constexpr int RestorePointsFileNotCompared = 92; // + reason
constexpr int RestorePointDamaged = 93;
constexpr int RestorePointsNothingToTake = 94;
constexpr int RestorePointsNothingToRestore = 95;

// The working copy: what became of a value other than typed, where the shown
// values come from, one report of a file load (101 to 129)
constexpr int NoticeAboveMaximum = 101;  // %1 parameter, %2 typed, %3 kept
constexpr int NoticeBelowMinimum = 102;  // %1 parameter, %2 typed, %3 kept
constexpr int NoticeGcuStep = 103;       // %1 parameter, %2 given, %3 kept
constexpr int NoticeCoupledTiming = 104; // %1 parameter, %2 before, %3 now, %4 the one changed
constexpr int NoticeGearbox = 105;       // %1 parameter
constexpr int OriginDefaults = 106;
constexpr int OriginUnit = 107;    // %1 time read
constexpr int OriginApplied = 108; // %1 time read, %2 file name
constexpr int OriginLoaded = 109;  // %1 file name
constexpr int OriginPending = 110; // %1 how many
constexpr int OriginAllInUnit = 111;
constexpr int FileLoadCounts = 112;              // %1 loaded, %2 records of the file
constexpr int CoupledValuesQuestion = 113;       // + one line per value, then 115
constexpr int CoupledValueLine = 114;            // %1 parameter, %2 taken, %3 what follows
constexpr int CoupledValuesChoice = 115;         // Yes, No or Cancel
constexpr int CoupledValuesLoadChoice = 116;     // Yes or No
constexpr int PhraseLeftOutFormsDisagree = 117;  // a record left out: %1 record, %2 ID, %3 word
constexpr int PhraseNotEnoughMemoryToRead = 118; // %1 file
constexpr int PhraseNoUnitFolder = 119;          // %1 folder
constexpr int PhraseCannotMoveFolder = 120;      // %1 folder, %2 where to
constexpr int PhraseUnitFileUnreadable = 121;    // %1 folder
constexpr int PhraseCannotMoveAside = 122;       // %1 file
constexpr int PhraseUnitMergedWithItself = 123;
constexpr int PhraseCommandsTitleColumns = 124; // %1 columns, %2 needed
constexpr int PhraseCommandsLineColumns = 125;  // %1 columns, %2 needed
constexpr int PhraseCommandsCell = 126;         // %1 column, %2 its name, %3 what is wrong
constexpr int PhraseNotWholeRecords = 127;      // %1 file, %2 bytes
constexpr int PhraseFarTooManyRecords = 128;    // %1 file, %2 bytes
constexpr int CliUnitKnownOtherwise = 129;      // %1 the unit's name, %2 the name given

// Unusable files, values outside their limits (130 to 149)
constexpr int CommandTableUnusable = 130;    // + path, then 131, line, ": " and what is wrong
constexpr int FileLine = 131;                // + line number
constexpr int ValuesOutsideLimits = 132;     // + one line per value (after 17)
constexpr int ValueOutsideLimitsHint = 133;  // %1 value, %2 minimum, %3 maximum
constexpr int TranslationFileUnusable = 134; // + path, then 131, line, ": " and what is wrong

// Live data over time (150 to 169)
constexpr int LivePlotsShiftResolutionTitle = 150; // the shift table's resolution column
constexpr int LivePlotsPressed = 151;              // a paddle or input at the cursor
constexpr int LivePlotsReleased = 152;
constexpr int LivePlotsGapLiveOff = 153; // 153 to 157: why lines are missing
constexpr int LivePlotsGapLinkLost = 154;
constexpr int LivePlotsGapLinkClosed = 155;
constexpr int LivePlotsGapLinesMissing = 156; // %1 lines
constexpr int LivePlotsGapSilence = 157;      // %1 ms
constexpr int LivePlotsReading = 158;         // + file name

// Desktop program: data folder, firmware result, detail phrases (170 to 229)
// The per-user copy keeps files the user changed although newer ones were
// installed; + the shipped files' paths, one a line.
constexpr int NewerShippedFilesKept = 170;
// The lines after message 21 (a good firmware update).
constexpr int FirmwareBytesWritten = 171; // %1 bytes
constexpr int FirmwareBytesNotReported = 172;
constexpr int FirmwareBytesVerified = 173; // %1 bytes
constexpr int FirmwareNotVerified = 174;
constexpr int FirmwareVersionBeforeAfter = 175; // %1 before, %2 now
constexpr int FirmwareVersionBeforeOnly = 176;  // %1 before; no announcement since
constexpr int FirmwareVersionUnknown = 177;     // in place of %1 of 175, 176

// Detail phrases: reasons and list lines added to messages (DetailPhrase).
// Files: %1 the file or folder, %2 the system's reason.
constexpr int PhraseFileCannotOpen = 178;
constexpr int PhraseFileCannotRead = 179;
constexpr int PhraseFileChangedWhileRead = 180;
constexpr int PhraseFileCannotCreate = 181;
constexpr int PhraseFileCannotWrite = 182;
constexpr int PhraseFolderCannotCreate = 183;
constexpr int PhraseNotALiveRecording = 184;         // %1 file
constexpr int PhraseFolderInsideProgramFolder = 185; // %1 folder, %2 the program's folder
constexpr int PhraseMalformedFromGcu = 186;          // %1 what is wrong with it
// The configuration dump.
constexpr int PhraseDumpNoEndMark = 187;
constexpr int PhraseDumpFieldCount = 188; // %1 fields, %2 expected
// Records of a file left out: %1 record, %2 ID, %3 command word (189 to 196).
constexpr int PhraseLeftOutIdOutOfRange = 189;
constexpr int PhraseLeftOutNoSuchCommand = 190;
constexpr int PhraseLeftOutWrongCommandWord = 191;
constexpr int PhraseLeftOutValueNotNumber = 192;
constexpr int PhraseLeftOutValueOutsideLimits = 193;
constexpr int PhraseLeftOutValueNotAChoice = 194;
constexpr int PhraseLeftOutUnknownControl = 195;
constexpr int PhraseLeftOutNoFreePlace = 196;
// Firmware images: %1 the line of the file where there is one.
constexpr int PhraseHexNotHexPairs = 197;
constexpr int PhraseHexLengthMismatch = 198;
constexpr int PhraseHexChecksum = 199;
constexpr int PhraseHexNoEndRecord = 200;
constexpr int PhraseHexNoData = 201;
constexpr int PhraseHexTextAfterEnd = 202;
constexpr int PhraseHexNotARecord = 203;
constexpr int PhraseHexTypeUnsupported = 204; // %2 type
constexpr int PhraseHexTypeLength = 205;      // %2 type, %3 bytes
constexpr int PhraseHexBeyondFlash = 206;     // %2 address, %3 bytes, %4 last address
constexpr int PhraseHexCannotRead = 207;      // %1 reason, %2 file
constexpr int PhraseHexTooLarge = 208;
// The programmer.
constexpr int PhraseAvrdudeNotFound = 209;   // %1 with %2, %3 with %4
constexpr int PhraseAvrdudeNotStarted = 210; // %1 program
constexpr int PhraseAvrdudeWorkFolder = 211; // %1 folder, %2 reason
constexpr int PhraseAvrdudeCopy = 212;       // %1 file, %2 reason
// Why the unit's settings could not be kept in a restore point.
constexpr int PhraseNoGcuConnected = 213;
constexpr int PhraseGcuStreamingLive = 214;
constexpr int PhraseGcuSentNoConfiguration = 215;
constexpr int PhraseGcuNotTellableApart = 216;
// Lines of a configuration text left out: %1 line, %2 ID, %3 command word
// (217 to 225); %1 line, %2 its first word (226, 227).
constexpr int PhraseLineLeftOutIdOutOfRange = 217;
constexpr int PhraseLineLeftOutNoSuchCommand = 218;
constexpr int PhraseLineLeftOutWrongCommandWord = 219;
constexpr int PhraseLineLeftOutValueNotNumber = 220;
constexpr int PhraseLineLeftOutValueOutsideLimits = 221;
constexpr int PhraseLineLeftOutValueNotAChoice = 222;
constexpr int PhraseLineLeftOutUnknownControl = 223;
constexpr int PhraseLineLeftOutNoFreePlace = 224;
constexpr int PhraseLineLeftOutDuplicateCommand = 225;
constexpr int PhraseLineLeftOutNotAValueLine = 226;
constexpr int PhraseLineLeftOutUnknownCommandWord = 227;
// A configuration text refused unread: %1 file.
constexpr int PhraseConfigTextTooLarge = 228;
constexpr int PhraseConfigTextNotUtf8 = 229;

// Units known by name (230 to 259)
constexpr int UnitsTitles = 230;               // the units' column titles, "|"-separated
constexpr int UnitsKeptIn = 231;               // + folder
constexpr int UnitsNotAllNamed = 232;          // + reasons
constexpr int UnitsAdapterWithoutSerial = 233; // an adapter without a serial number
constexpr int UnitsNoIntactPoint = 234;        // %1 the unit's name
constexpr int UnitsBaselineNone = 235;
constexpr int UnitsBaselineFile = 236; // + file name
constexpr int UnitsBaselineUnit = 237; // + the unit's name
constexpr int UnitsSelectOne = 238;
constexpr int UnitsSelectTwoToMerge = 239;
constexpr int UnitsNotChanged = 240; // + reason
constexpr int UnitNameEmpty = 241;
constexpr int UnitNameTooLong = 242; // %1 the most characters
constexpr int UnitNameTaken = 243;   // + name
constexpr int UnitsRenamePrompt = 244;
constexpr int UnitsMergeQuestion = 245;     // %1 the first unit's name, %2 the second's
constexpr int UnitsExported = 246;          // %1 name, %2 the point's time; + file name
constexpr int UnitsDeleteQuestion = 247;    // %1 name, %2 points, %3 trash folder
constexpr int UnitsMovedToTrash = 248;      // + folder
constexpr int UnitOnLink = 249;             // %1 the unit's name
constexpr int RestoreOtherUnitsPoint = 250; // %1 the point's unit, %2 the connected one
constexpr int UnitQuestion = 251;           // %1 PCB, %2 firmware, %3 reboots
constexpr int UnitQuestionTitles = 252;     // the candidates' column titles, "|"-separated
constexpr int UnitQuestionNew = 253;
constexpr int UnitQuestionButtons = 254;  // choose|later
constexpr int PendingForOtherUnit = 255;  // three "|"-separated lines: %1 made for, %2 connected
constexpr int UnitFacts = 256;            // %1 name, %2 PCB, %3 firmware, %4 reboots
constexpr int UnitUnknownTexts = 257;     // not known by name|not read|not known yet
constexpr int NotOnPcbNotSent = 258;      // + the parameters
constexpr int FirmwareWithoutPoint = 259; // two "|"-separated parts, the reason between

// The command-line front end's talk with a unit (260 to 279)
constexpr int CliInfoLabels = 260;  // info's labels, "|"-separated
constexpr int CliUnknownUnit = 261; // the unit is not recognised
constexpr int CliNoGcuPort = 262;
constexpr int CliSeveralGcuPorts = 263;    // + the ports
constexpr int CliPortNotOpened = 264;      // + port and reason
constexpr int CliNoAnnouncement = 265;     // %1 port, %2 seconds
constexpr int CliUnknownWord = 266;        // + word
constexpr int CliNothingSentRefused = 267; // + what was refused
constexpr int CliFileHeld = 268;
constexpr int CliValuesDiffer = 269; // %1 how many
constexpr int CliAlreadyHeld = 270;
constexpr int CliConfirmWrite = 271; // %1 values, %2 port
constexpr int CliWriteNeedsYes = 272;
constexpr int CliSent = 273;            // + the values sent
constexpr int CliSentAsFileHolds = 274; // + the values
constexpr int CliNoLiveValues = 275;
constexpr int CliPointKept = 276; // + folder
constexpr int CliYesNo = 277;     // after a question
constexpr int CliWhichUnitBeforeWriting = 278; // %1 the known units it could be
constexpr int CliWhichUnitPointsNotKept = 279; // %1 the known units it could be
} // namespace Msg
