#pragma once
// The probe's query steps, run on a port where a modem answered "AT". Each
// step talks over `line` by the exchange rule and fills fields of `record`;
// none reports an error: a reply that does not match leaves its fields empty
// or unchanged.

#include <string>

#include "scan/check_result.h"
#include "scan/probe_io.h"

// strATI, nModel and strModel from "ATI", "AT+CGMI", "AT+CGMM", "ATI3", by
// the rows of the model table (drivers/models.h).
void IdentifyModem(COM_CHECK_RESULT_t& record, CProbeLine& line);

// nModeConfig of a model whose network mode the scan reads (the CLM920_NC5
// module; other models: nothing is sent). Prints "<port> > MODECONFIG =
// <n>" when `verbose`.
void QueryModeConfig(COM_CHECK_RESULT_t& record, CProbeLine& line, bool verbose);

// strSerialNo by the model's route; true when it ends non-empty. The CDMA
// module (SERIAL_ROUTE_PHONE_BOOK) without a serial number gets one made up and stored as
// phone-book entry 1 named "WMSN", read back by later scans; an entry 1
// holding something else is never overwritten.
bool QuerySerialNo(COM_CHECK_RESULT_t& record, CProbeLine& line);

// strCardNo from the model's ICCID command; true when a number was taken.
bool QueryCardNo(COM_CHECK_RESULT_t& record, CProbeLine& line);

// strPinState by "AT+CPIN?" where the model's row asks it (the GSM modules;
// a module of no known model too). Every such modem is asked, with a card
// number read or not: a module that will not give the ICCID of a locked
// SIM still names the lock. The state line alone ends the answer (Wavecom
// modules send no OK after it); the read keeps the probe's time-outs.
void QueryPinState(COM_CHECK_RESULT_t& record, CProbeLine& line);

// strATI (again), strSignal, nRssi and nBer.
void QuerySignal(COM_CHECK_RESULT_t& record, CProbeLine& line);

// strOperator: the value of the "+COPS" line.
void QueryOperator(COM_CHECK_RESULT_t& record, CProbeLine& line);

// Switches the CLM920_NC5 module (with a card) between network modes
// 2 and 22 (see ModeAdjustment) and prints "<port> > setting MODECONFIG=n",
// verbose or not.
void AdjustModeConfig(COM_CHECK_RESULT_t& record, CProbeLine& line);

// Everything the probe asks once "AT" is answered: echo off, numeric error
// reports on, then identification, mode, serial and card number, the PIN
// state, and with a card the signal, operator and mode switch. `verbose`: QueryModeConfig's note.
void RunQuerySteps(COM_CHECK_RESULT_t& record, CProbeLine& line, bool verbose);

// 15 decimal digits for a made-up serial number; differs between calls,
// threads and runs.
std::string MakeRandomDigits();
