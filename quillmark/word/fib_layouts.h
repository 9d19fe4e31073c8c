// The field lists of the three historical layouts of the Word file
// information block (FIB), each field with its width and its byte offset in
// the file. word_records.h declares the records from these lists and fib.cpp
// reads them field by field, so a layout is written down exactly once.
//
//   QUILLMARK_FIB97_FIELDS  Word 97 and later: 738 bytes at offset 0 of the
//                           "WordDocument" stream. This is also the common
//                           in-memory form (TFIB) the older layouts fill.
//   QUILLMARK_FIB6_FIELDS   Word 6 and Word 95 (nFib 101-104).
//   QUILLMARK_FIB2_FIELDS   Word 2 (nFib below 101): position fields are 32
//                           bits, the size field after each one 16 bits.
//   *_SHARED_FIELDS         the fields of an older layout that TFIB has under
//                           the same name, copied across when it is read.
#pragma once

// clang-format off
#define QUILLMARK_FIB97_FIELDS(X) \
    X(uint16_t, wIdent, 0) \
    X(uint16_t, Version, 2) \
    X(uint16_t, ProductVersion, 4) \
    X(uint16_t, lID, 6) \
    X(uint16_t, pnNext, 8) \
    X(uint8_t, Flag, 10) \
    X(uint8_t, Encryption, 11) \
    X(uint16_t, nFIBBack, 12) \
    X(uint32_t, IKey, 14) \
    X(uint8_t, Platform, 18) \
    X(uint8_t, fMac, 19) \
    X(uint16_t, chse, 20) \
    X(uint16_t, chsTables, 22) \
    X(uint32_t, fcMin, 24) \
    X(uint32_t, fcMac, 28) \
    X(uint16_t, csw, 32) \
    X(uint16_t, wMagicCreated, 34) \
    X(uint16_t, wMagicRevised, 36) \
    X(uint16_t, wMagicCreatedPrivate, 38) \
    X(uint16_t, wMagicRevisedPrivate, 40) \
    X(uint16_t, pnFbpChpFirst_W6, 42) \
    X(uint16_t, pnChpFirst_W6, 44) \
    X(uint16_t, cpnBteChp_W6, 46) \
    X(uint16_t, pnFbpPapFirst_W6, 48) \
    X(uint16_t, pnPapFirst_W6, 50) \
    X(uint16_t, cpnBtePap_W6, 52) \
    X(uint16_t, pnFbpLvcFirst_W6, 54) \
    X(uint16_t, pnLvcFirst_W6, 56) \
    X(uint16_t, cpnBteLvc_W6, 58) \
    X(uint16_t, lidFE, 60) \
    X(uint16_t, clw, 62) \
    X(uint32_t, cbMac, 64) \
    X(uint32_t, lProductCreated, 68) \
    X(uint32_t, lProductRevised, 72) \
    X(uint32_t, ccpText, 76) \
    X(uint32_t, ccpFtn, 80) \
    X(uint32_t, ccpHdr, 84) \
    X(uint32_t, ccpMcr, 88) \
    X(uint32_t, ccpAtn, 92) \
    X(uint32_t, ccpEdn, 96) \
    X(uint32_t, ccpTxbx, 100) \
    X(uint32_t, ccpHdrTxbx, 104) \
    X(uint32_t, pnFbpChpFirst, 108) \
    X(uint32_t, pnChpFirst, 112) \
    X(uint32_t, cpnBteChp, 116) \
    X(uint32_t, pnFbpPapFirst, 120) \
    X(uint32_t, pnPapFirst, 124) \
    X(uint32_t, cpnBtePap, 128) \
    X(uint32_t, pnFbpLvcFirst, 132) \
    X(uint32_t, pnLvcFirst, 136) \
    X(uint32_t, cpnBteLvc, 140) \
    X(uint32_t, fcIslandFirst, 144) \
    X(uint32_t, fcIslandLim, 148) \
    X(uint16_t, cfclcb, 152) \
    X(uint32_t, fcStshfOrig, 154) \
    X(uint32_t, lcbStshfOrig, 158) \
    X(uint32_t, fcStshf, 162) \
    X(uint32_t, lcbStshf, 166) \
    X(uint32_t, fcPlcffndRef, 170) \
    X(uint32_t, lcbPlcffndRef, 174) \
    X(uint32_t, fcPlcffndTxt, 178) \
    X(uint32_t, lcbPlcffndTxt, 182) \
    X(uint32_t, fcPlcfandRef, 186) \
    X(uint32_t, lcbPlcfandRef, 190) \
    X(uint32_t, fcPlcfandTxt, 194) \
    X(uint32_t, lcbPlcfandTxt, 198) \
    X(uint32_t, fcPlcfsed, 202) \
    X(uint32_t, lcbPlcfsed, 206) \
    X(uint32_t, fcPlcfpad, 210) \
    X(uint32_t, lcbPlcfpad, 214) \
    X(uint32_t, fcPlcfphe, 218) \
    X(uint32_t, lcbPlcfphe, 222) \
    X(uint32_t, fcSttbfglsy, 226) \
    X(uint32_t, lcbSttbfglsy, 230) \
    X(uint32_t, fcPlcfglsy, 234) \
    X(uint32_t, lcbPlcfglsy, 238) \
    X(uint32_t, fcPlcfhdd, 242) \
    X(uint32_t, lcbPlcfhdd, 246) \
    X(uint32_t, fcPlcfbteChpx, 250) \
    X(uint32_t, lcbPlcfbteChpx, 254) \
    X(uint32_t, fcPlcfbtePapx, 258) \
    X(uint32_t, lcbPlcfbtePapx, 262) \
    X(uint32_t, fcPlcfsea, 266) \
    X(uint32_t, lcbPlcfsea, 270) \
    X(uint32_t, fcSttbfffn, 274) \
    X(uint32_t, lcbSttbfffn, 278) \
    X(uint32_t, fcPlcffldMom, 282) \
    X(uint32_t, lcbPlcffldMom, 286) \
    X(uint32_t, fcPlcffldHdr, 290) \
    X(uint32_t, lcbPlcffldHdr, 294) \
    X(uint32_t, fcPlcffldFtn, 298) \
    X(uint32_t, lcbPlcffldFtn, 302) \
    X(uint32_t, fcPlcffldAtn, 306) \
    X(uint32_t, lcbPlcffldAtn, 310) \
    X(uint32_t, fcPlcffldMcr, 314) \
    X(uint32_t, lcbPlcffldMcr, 318) \
    X(uint32_t, fcSttbfbkmk, 322) \
    X(uint32_t, lcbSttbfbkmk, 326) \
    X(uint32_t, fcPlcfbkf, 330) \
    X(uint32_t, lcbPlcfbkf, 334) \
    X(uint32_t, fcPlcfbkl, 338) \
    X(uint32_t, lcbPlcfbkl, 342) \
    X(uint32_t, fcCmds, 346) \
    X(uint32_t, lcbCmds, 350) \
    X(uint32_t, fcPlcmcr, 354) \
    X(uint32_t, lcbPlcmcr, 358) \
    X(uint32_t, fcSttbfmcr, 362) \
    X(uint32_t, lcbSttbfmcr, 366) \
    X(uint32_t, fcPrDrvr, 370) \
    X(uint32_t, lcbPrDvr, 374) \
    X(uint32_t, fcPrEnvPort, 378) \
    X(uint32_t, lcbPrEnvPort, 382) \
    X(uint32_t, fcPrEnvLand, 386) \
    X(uint32_t, lcbPrEnvLand, 390) \
    X(uint32_t, fcWss, 394) \
    X(uint32_t, lcbWss, 398) \
    X(uint32_t, fcDop, 402) \
    X(uint32_t, lcbDop, 406) \
    X(uint32_t, fcSttbfAssoc, 410) \
    X(uint32_t, lcbSttbfAssoc, 414) \
    X(uint32_t, fcClx, 418) \
    X(uint32_t, lcbClx, 422) \
    X(uint32_t, fcPlcfpgdFtn, 426) \
    X(uint32_t, lcbPlcfpgdFtn, 430) \
    X(uint32_t, fcAutosaveSource, 434) \
    X(uint32_t, lcbAutosaveSource, 438) \
    X(uint32_t, fcGrpStAtnOwners, 442) \
    X(uint32_t, lcbGrpStAtnOwners, 446) \
    X(uint32_t, fcSttbfAtnbkmk, 450) \
    X(uint32_t, lcbSttbfAtnbkmk, 454) \
    X(uint32_t, fcPlcfdoaMom, 458) \
    X(uint32_t, lcbPlcfdoaMom, 462) \
    X(uint32_t, fcPlcfdoaHdr, 466) \
    X(uint32_t, lcbPlcfdoaHdr, 470) \
    X(uint32_t, fcUnused1, 474) \
    X(uint32_t, lcbUnused1, 478) \
    X(uint32_t, fcUnused2, 482) \
    X(uint32_t, lcbUnused2, 486) \
    X(uint32_t, fcPlcfAtnbkf, 490) \
    X(uint32_t, lcbPlcfAtnbkf, 494) \
    X(uint32_t, fcPlcfAtnbkl, 498) \
    X(uint32_t, lcbPlcfAtnbkl, 502) \
    X(uint32_t, fcPms, 506) \
    X(uint32_t, lcbPms, 510) \
    X(uint32_t, fcFormFldSttbf, 514) \
    X(uint32_t, lcbFormFldSttbf, 518) \
    X(uint32_t, fcPlcfendRef, 522) \
    X(uint32_t, lcbPlcfendRef, 526) \
    X(uint32_t, fcPlcfendTxt, 530) \
    X(uint32_t, lcbPlcfendTxt, 534) \
    X(uint32_t, fcPlcffldEdn, 538) \
    X(uint32_t, lcbPlcffldEdn, 542) \
    X(uint32_t, fcPlcfpgdEdn, 546) \
    X(uint32_t, lfbcPlcfpgdEdn, 550) \
    X(uint32_t, fcUnused3, 554) \
    X(uint32_t, lcbUnused3, 558) \
    X(uint32_t, fcSttbfRMark, 562) \
    X(uint32_t, lcbSttbfRMark, 566) \
    X(uint32_t, fcSttbfCaption, 570) \
    X(uint32_t, lcbSttbfCaption, 574) \
    X(uint32_t, fcAutoCaption, 578) \
    X(uint32_t, lcbAutoCaption, 582) \
    X(uint32_t, fcPlcfwkb, 586) \
    X(uint32_t, lcbPlcfwkb, 590) \
    X(uint32_t, fcUnused4, 594) \
    X(uint32_t, lcbUnused4, 598) \
    X(uint32_t, fcPlcftxbxTxt, 602) \
    X(uint32_t, lcbPlcftxbxTxt, 606) \
    X(uint32_t, fcPlcffldTxbx, 610) \
    X(uint32_t, lcbPlcffldTxbx, 614) \
    X(uint32_t, fcPlcfHdrtxbxTxt, 618) \
    X(uint32_t, lcbPlcfHdrtxbxTxt, 622) \
    X(uint32_t, fcPlcffldHdrTxbx, 626) \
    X(uint32_t, lcbPlcffldHdrTxbx, 630) \
    X(uint32_t, fcStwUser, 634) \
    X(uint32_t, lcbStwUser, 638) \
    X(uint32_t, fcSttbttmbd, 642) \
    X(uint32_t, lcbSttbttmbd, 646) \
    X(uint32_t, fcPlcunused, 650) \
    X(uint32_t, lcbPlcunused, 654) \
    X(uint32_t, fcpgdMother_fcPgd, 658) \
    X(uint32_t, fcpgdMother_lcbPgd, 662) \
    X(uint32_t, fcpgdMother_fcBkd, 666) \
    X(uint32_t, fcpgdMother_lcbBkd, 670) \
    X(uint32_t, fcpgdFtn_fcPgd, 674) \
    X(uint32_t, rgfcpgdFtn_lcbPgd, 678) \
    X(uint32_t, rgfcpgdFtn_fcBkd, 682) \
    X(uint32_t, rgfcpgdFtn_lcbBkd, 686) \
    X(uint32_t, fcpgdFtn_fcPgd2, 690) \
    X(uint32_t, rgfcpgdFtn_lcbPgd2, 694) \
    X(uint32_t, rgfcpgdFtn_fcBkd2, 698) \
    X(uint32_t, rgfcpgdFtn_lcbBkd2, 702) \
    X(uint32_t, fcSttbfIntlFld, 706) \
    X(uint32_t, lcbSttbfIntlFld, 710) \
    X(uint32_t, fcRouteSlip, 714) \
    X(uint32_t, lcbRouteSlip, 718) \
    X(uint32_t, fcSttbSavedBy, 722) \
    X(uint32_t, lcbSttbSavedBy, 726) \
    X(uint32_t, fcSttbFnm, 730) \
    X(uint32_t, lcbSttbFnm, 734)

#define QUILLMARK_FIB6_FIELDS(X) \
    X(uint16_t, wIdent, 0) \
    X(uint16_t, Version, 2) \
    X(uint16_t, ProductVersion, 4) \
    X(uint16_t, lID, 6) \
    X(uint16_t, pnNext, 8) \
    X(uint8_t, Flag, 10) \
    X(uint8_t, Encryption, 11) \
    X(uint16_t, nFIBBack, 12) \
    X(uint32_t, IKey, 14) \
    X(uint8_t, Platform, 18) \
    X(uint8_t, fMac, 19) \
    X(uint16_t, chse, 20) \
    X(uint16_t, chsTables, 22) \
    X(uint32_t, fcMin, 24) \
    X(uint32_t, fcMac, 28) \
    X(uint32_t, cbMac, 32) \
    X(uint32_t, fcSpare0, 36) \
    X(uint32_t, fcSpare1, 40) \
    X(uint32_t, fcSpare2, 44) \
    X(uint32_t, fcSpare3, 48) \
    X(uint32_t, ccpText, 52) \
    X(uint32_t, ccpFtn, 56) \
    X(uint32_t, ccpHdr, 60) \
    X(uint32_t, ccpMcr, 64) \
    X(uint32_t, ccpAtn, 68) \
    X(uint32_t, ccpEdn, 72) \
    X(uint32_t, ccpTxbx, 76) \
    X(uint32_t, ccpHdrTxbx, 80) \
    X(uint32_t, Spare, 84) \
    X(uint32_t, fcStshfOrig, 88) \
    X(uint32_t, lcbStshfOrig, 92) \
    X(uint32_t, fcStshf, 96) \
    X(uint32_t, lcbStshf, 100) \
    X(uint32_t, fcPlcffndRef, 104) \
    X(uint32_t, lcbPlcffndRef, 108) \
    X(uint32_t, fcPlcffndTxt, 112) \
    X(uint32_t, lcbPlcffndTxt, 116) \
    X(uint32_t, fcPlcfandRef, 120) \
    X(uint32_t, lcbPlcfandRef, 124) \
    X(uint32_t, fcPlcfandTxt, 128) \
    X(uint32_t, lcbPlcfandTxt, 132) \
    X(uint32_t, fcPlcfsed, 136) \
    X(uint32_t, lcbPlcfsed, 140) \
    X(uint32_t, fcPlcfpad, 144) \
    X(uint32_t, lcbPlcfpad, 148) \
    X(uint32_t, fcPlcfphe, 152) \
    X(uint32_t, lcbPlcfphe, 156) \
    X(uint32_t, fcSttbfglsy, 160) \
    X(uint32_t, lcbSttbfglsy, 164) \
    X(uint32_t, fcPlcfglsy, 168) \
    X(uint32_t, lcbPlcfglsy, 172) \
    X(uint32_t, fcPlcfhdd, 176) \
    X(uint32_t, lcbPlcfhdd, 180) \
    X(uint32_t, fcPlcfbteChpx, 184) \
    X(uint32_t, lcbPlcfbteChpx, 188) \
    X(uint32_t, fcPlcfbtePapx, 192) \
    X(uint32_t, lcbPlcfbtePapx, 196) \
    X(uint32_t, fcPlcfsea, 200) \
    X(uint32_t, lcbPlcfsea, 204) \
    X(uint32_t, fcSttbfffn, 208) \
    X(uint32_t, lcbSttbfffn, 212) \
    X(uint32_t, fcPlcffldMom, 216) \
    X(uint32_t, lcbPlcffldMom, 220) \
    X(uint32_t, fcPlcffldHdr, 224) \
    X(uint32_t, lcbPlcffldHdr, 228) \
    X(uint32_t, fcPlcffldFtn, 232) \
    X(uint32_t, lcbPlcffldFtn, 236) \
    X(uint32_t, fcPlcffldAtn, 240) \
    X(uint32_t, lcbPlcffldAtn, 244) \
    X(uint32_t, fcPlcffldMcr, 248) \
    X(uint32_t, lcbPlcffldmcr, 252) \
    X(uint32_t, fcSttbfbkmk, 256) \
    X(uint32_t, lcbSttbfbkmk, 260) \
    X(uint32_t, fcPlcfbkf, 264) \
    X(uint32_t, lcbPlcfbkf, 268) \
    X(uint32_t, fcPlcfbkl, 272) \
    X(uint32_t, lcbPlcfbkl, 276) \
    X(uint32_t, fcCmds, 280) \
    X(uint32_t, lcbCmds, 284) \
    X(uint32_t, fcPlcmcr, 288) \
    X(uint32_t, lcbPlcmcr, 292) \
    X(uint32_t, fcSttbfmcr, 296) \
    X(uint32_t, lcbSttbfmcr, 300) \
    X(uint32_t, fcPrDrvr, 304) \
    X(uint32_t, lcbPrDvr, 308) \
    X(uint32_t, fcPrEnvPort, 312) \
    X(uint32_t, lcbPrEnvPort, 316) \
    X(uint32_t, fcPrEnvLand, 320) \
    X(uint32_t, lcbPrEnvLand, 324) \
    X(uint32_t, fcWss, 328) \
    X(uint32_t, lcbWss, 332) \
    X(uint32_t, fcDop, 336) \
    X(uint32_t, lcbDop, 340) \
    X(uint32_t, fcSttbfAssoc, 344) \
    X(uint32_t, lcbSttbfAssoc, 348) \
    X(uint32_t, fcClx, 352) \
    X(uint32_t, lcbClx, 356) \
    X(uint32_t, fcPlcfpgdFtn, 360) \
    X(uint32_t, lcbPlcfpgdFtn, 364) \
    X(uint32_t, fcAutosaveSource, 368) \
    X(uint32_t, lcbAutosaveSource, 372) \
    X(uint32_t, fcGrpStAtnOwners, 376) \
    X(uint32_t, lcbGrpStAtnOwners, 380) \
    X(uint32_t, fcSttbfAtnbkmk, 384) \
    X(uint32_t, lcbSttbfAtnbkmk, 388) \
    X(uint16_t, wSpare4Fib, 392) \
    X(uint16_t, pnChpFirst, 394) \
    X(uint16_t, pnPapFirst, 396) \
    X(uint16_t, cpnBteChp, 398) \
    X(uint16_t, cpnBtePap, 400) \
    X(uint32_t, fcPlcfdoaMom, 402) \
    X(uint32_t, lcbPlcfdoaMom, 406) \
    X(uint32_t, fcPlcfdoaHdr, 410) \
    X(uint32_t, lcbPlcfdoaHdr, 414) \
    X(uint32_t, fcUnused1, 418) \
    X(uint32_t, lcbUnused1, 422) \
    X(uint32_t, fcUnused2, 426) \
    X(uint32_t, lcbUnused2, 430) \
    X(uint32_t, fcPlcfAtnbkf, 434) \
    X(uint32_t, lcbPlcfAtnbkf, 438) \
    X(uint32_t, fcPlcfAtnbkl, 442) \
    X(uint32_t, lcbPlcfAtnbkl, 446) \
    X(uint32_t, fcPms, 450) \
    X(uint32_t, lcbPms, 454) \
    X(uint32_t, fcFormFldSttbf, 458) \
    X(uint32_t, lcbFormFldSttbf, 462) \
    X(uint32_t, fcPlcfendRef, 466) \
    X(uint32_t, lcbPlcfendRef, 470) \
    X(uint32_t, fcPlcfendTxt, 474) \
    X(uint32_t, lcbPlcfendTxt, 478) \
    X(uint32_t, fcPlcffldEdn, 482) \
    X(uint32_t, lcbPlcffldEdn, 486) \
    X(uint32_t, fcPlcfpgdEdn, 490) \
    X(uint32_t, lfbcPlcfpgdEdn, 494) \
    X(uint32_t, fcUnused3, 498) \
    X(uint32_t, lcbUnused3, 502) \
    X(uint32_t, fcSttbfRMark, 506) \
    X(uint32_t, lcbSttbfRMark, 510) \
    X(uint32_t, fcSttbfCaption, 514) \
    X(uint32_t, lcbSttbfCaption, 518) \
    X(uint32_t, fcAutoCaption, 522) \
    X(uint32_t, lcbAutoCaption, 526) \
    X(uint32_t, fcPlcfwkb, 530) \
    X(uint32_t, lcbPlcfwkb, 534) \
    X(uint32_t, fcUnused4, 538) \
    X(uint32_t, lcbUnused4, 542) \
    X(uint32_t, fcPlcftxbxTxt, 546) \
    X(uint32_t, lcbPlcftxbxTxt, 550) \
    X(uint32_t, fcPlcffldTxbx, 554) \
    X(uint32_t, lcbPlcffldTxbx, 558) \
    X(uint32_t, fcPlcfHdrtxbxTxt, 562) \
    X(uint32_t, lcbPlcfHdrtxbxTxt, 566) \
    X(uint32_t, fcPlcffldHdrTxbx, 570) \
    X(uint32_t, lcbPlcffldHdrTxbx, 574) \
    X(uint32_t, fcStwUser, 578) \
    X(uint32_t, lcbStwUser, 582) \
    X(uint32_t, fcSttbttmbd, 586) \
    X(uint32_t, lcbSttbttmbd, 590) \
    X(uint32_t, fcPlcunused, 594) \
    X(uint32_t, lcbPlcunused, 598) \
    X(uint32_t, fcpgdMother_fcPgd, 602) \
    X(uint32_t, fcpgdMother_lcbPgd, 606) \
    X(uint32_t, fcpgdMother_fcBkd, 610) \
    X(uint32_t, fcpgdMother_lcbBkd, 614) \
    X(uint32_t, fcpgdFtn_fcPgd, 618) \
    X(uint32_t, rgfcpgdFtn_lcbPgd, 622) \
    X(uint32_t, rgfcpgdFtn_fcBkd, 626) \
    X(uint32_t, rgfcpgdFtn_lcbBkd, 630) \
    X(uint32_t, fcpgdFtn_fcPgd2, 634) \
    X(uint32_t, rgfcpgdFtn_lcbPgd2, 638) \
    X(uint32_t, rgfcpgdFtn_fcBkd2, 642) \
    X(uint32_t, rgfcpgdFtn_lcbBkd2, 646) \
    X(uint32_t, fcSttbfIntlFld, 650) \
    X(uint32_t, lcbSttbfIntlFld, 654) \
    X(uint32_t, fcRouteSlip, 658) \
    X(uint32_t, lcbRouteSlip, 662) \
    X(uint32_t, fcSttbSavedBy, 666) \
    X(uint32_t, lcbSttbSavedBy, 670) \
    X(uint32_t, fcSttbFnm, 674) \
    X(uint32_t, lcbSttbFnm, 678)

#define QUILLMARK_FIB2_FIELDS(X, XB) \
    X(uint16_t, wIdent, 0) \
    X(uint16_t, Version, 2) \
    X(uint16_t, ProductVersion, 4) \
    X(uint16_t, lID, 6) \
    X(uint16_t, pnNext, 8) \
    X(uint8_t, Flag, 10) \
    X(uint8_t, Encryption, 11) \
    X(uint16_t, nFIBBack, 12) \
    X(uint32_t, Spare, 14) \
    XB(rgwSpare0, 6, 18) \
    X(uint32_t, fcMin, 24) \
    X(uint32_t, fcMac, 28) \
    X(uint32_t, cbMac, 32) \
    X(uint32_t, fcSpare0, 36) \
    X(uint32_t, fcSpare1, 40) \
    X(uint32_t, fcSpare2, 44) \
    X(uint32_t, fcSpare3, 48) \
    X(uint32_t, ccpText, 52) \
    X(uint32_t, ccpFtn, 56) \
    X(uint32_t, ccpHdr, 60) \
    X(uint32_t, ccpMcr, 64) \
    X(uint32_t, ccpAtn, 68) \
    X(uint32_t, ccpSpare0, 72) \
    X(uint32_t, ccpSpare1, 76) \
    X(uint32_t, ccpSpare2, 80) \
    X(uint32_t, ccpSpare3, 84) \
    X(uint32_t, fcStshfOrig, 88) \
    X(uint16_t, lcbStshfOrig, 92) \
    X(uint32_t, fcStshf, 94) \
    X(uint16_t, lcbStshf, 98) \
    X(uint32_t, fcPlcffndRef, 100) \
    X(uint16_t, lcbPlcffndRef, 104) \
    X(uint32_t, fcPlcffndTxt, 106) \
    X(uint16_t, lcbPlcffndTxt, 110) \
    X(uint32_t, fcPlcfandRef, 112) \
    X(uint16_t, lcbPlcfandRef, 116) \
    X(uint32_t, fcPlcfandTxt, 118) \
    X(uint16_t, lcbPlcfandTxt, 122) \
    X(uint32_t, fcPlcfsed, 124) \
    X(uint16_t, lcbPlcfsed, 128) \
    X(uint32_t, fcPlcfpgd, 130) \
    X(uint16_t, lcbPlcfpgd, 134) \
    X(uint32_t, fcPlcfphe, 136) \
    X(uint16_t, lcbPlcfphe, 140) \
    X(uint32_t, fcPlcfglsy, 142) \
    X(uint16_t, lcbPlcfglsy, 146) \
    X(uint32_t, fcPlcfhdd, 148) \
    X(uint16_t, lcbPlcfhdd, 152) \
    X(uint32_t, fcPlcfbteChpx, 154) \
    X(uint16_t, lcbPlcfbteChpx, 158) \
    X(uint32_t, fcPlcfbtePapx, 160) \
    X(uint16_t, lcbPlcfbtePapx, 164) \
    X(uint32_t, fcPlcfsea, 166) \
    X(uint16_t, lcbPlcfsea, 170) \
    X(uint32_t, fcSttbfffn, 172) \
    X(uint16_t, lcbSttbfffn, 176) \
    X(uint32_t, fcPlcffldMom, 178) \
    X(uint16_t, lcbPlcffldMom, 182) \
    X(uint32_t, fcPlcffldHdr, 184) \
    X(uint16_t, lcbPlcffldHdr, 188) \
    X(uint32_t, fcPlcffldFtn, 190) \
    X(uint16_t, lcbPlcffldFtn, 194) \
    X(uint32_t, fcPlcffldAtn, 196) \
    X(uint16_t, lcbPlcffldAtn, 200) \
    X(uint32_t, fcPlcffldMcr, 202) \
    X(uint16_t, lcbPlcffldMcr, 206) \
    X(uint32_t, fcSttbfbkmk, 208) \
    X(uint16_t, lcbSttbfbkmk, 212) \
    X(uint32_t, fcPlcfbkf, 214) \
    X(uint16_t, lcbPlcfbkf, 218) \
    X(uint32_t, fcPlcfbkl, 220) \
    X(uint16_t, lcbPlcfbkl, 224) \
    X(uint32_t, fcCmds, 226) \
    X(uint16_t, lcbCmds, 230) \
    X(uint32_t, fcPlcmcr, 232) \
    X(uint16_t, lcbPlcmcr, 236) \
    X(uint32_t, fcSttbfmcr, 238) \
    X(uint16_t, lcbSttbfmcr, 242) \
    X(uint32_t, fcPrDrvr, 244) \
    X(uint16_t, lcbPrDvr, 248) \
    X(uint32_t, fcPrEnvPort, 250) \
    X(uint16_t, lcbPrEnvPort, 254) \
    X(uint32_t, fcPrEnvLand, 256) \
    X(uint16_t, lcbPrEnvLand, 260) \
    X(uint32_t, fcWss, 262) \
    X(uint16_t, lcbWss, 266) \
    X(uint32_t, fcDop, 268) \
    X(uint16_t, lcbDop, 272) \
    X(uint32_t, fcSttbfAssoc, 274) \
    X(uint16_t, lcbSttbfAssoc, 278) \
    X(uint32_t, fcClx, 280) \
    X(uint16_t, lcbClx, 284) \
    X(uint32_t, fcPlcfpgdFtn, 286) \
    X(uint16_t, lcbPlcfpgdFtn, 290) \
    X(uint32_t, fcAutosaveSource, 292) \
    X(uint16_t, lcbAutosaveSource, 296) \
    X(uint32_t, fcSpare5, 298) \
    X(uint16_t, lcbSpare5, 302) \
    X(uint32_t, fcSpare6, 304) \
    X(uint16_t, lcbSpare6, 308) \
    X(uint16_t, wSpare4Fib, 310) \
    X(uint16_t, pnChpFirst, 312) \
    X(uint16_t, pnPapFirst, 314) \
    X(uint16_t, cpnBteChp, 316) \
    X(uint16_t, cpnBtePap, 318)

#define QUILLMARK_FIB6_SHARED_FIELDS(C) \
    C(wIdent) \
    C(Version) \
    C(ProductVersion) \
    C(lID) \
    C(pnNext) \
    C(Flag) \
    C(Encryption) \
    C(nFIBBack) \
    C(IKey) \
    C(Platform) \
    C(fMac) \
    C(chse) \
    C(chsTables) \
    C(fcMin) \
    C(fcMac) \
    C(cbMac) \
    C(ccpText) \
    C(ccpFtn) \
    C(ccpHdr) \
    C(ccpMcr) \
    C(ccpAtn) \
    C(ccpEdn) \
    C(ccpTxbx) \
    C(ccpHdrTxbx) \
    C(fcStshfOrig) \
    C(lcbStshfOrig) \
    C(fcStshf) \
    C(lcbStshf) \
    C(fcPlcffndRef) \
    C(lcbPlcffndRef) \
    C(fcPlcffndTxt) \
    C(lcbPlcffndTxt) \
    C(fcPlcfandRef) \
    C(lcbPlcfandRef) \
    C(fcPlcfandTxt) \
    C(lcbPlcfandTxt) \
    C(fcPlcfsed) \
    C(lcbPlcfsed) \
    C(fcPlcfpad) \
    C(lcbPlcfpad) \
    C(fcPlcfphe) \
    C(lcbPlcfphe) \
    C(fcSttbfglsy) \
    C(lcbSttbfglsy) \
    C(fcPlcfglsy) \
    C(lcbPlcfglsy) \
    C(fcPlcfhdd) \
    C(lcbPlcfhdd) \
    C(fcPlcfbteChpx) \
    C(lcbPlcfbteChpx) \
    C(fcPlcfbtePapx) \
    C(lcbPlcfbtePapx) \
    C(fcPlcfsea) \
    C(lcbPlcfsea) \
    C(fcSttbfffn) \
    C(lcbSttbfffn) \
    C(fcPlcffldMom) \
    C(lcbPlcffldMom) \
    C(fcPlcffldHdr) \
    C(lcbPlcffldHdr) \
    C(fcPlcffldFtn) \
    C(lcbPlcffldFtn) \
    C(fcPlcffldAtn) \
    C(lcbPlcffldAtn) \
    C(fcPlcffldMcr) \
    C(fcSttbfbkmk) \
    C(lcbSttbfbkmk) \
    C(fcPlcfbkf) \
    C(lcbPlcfbkf) \
    C(fcPlcfbkl) \
    C(lcbPlcfbkl) \
    C(fcCmds) \
    C(lcbCmds) \
    C(fcPlcmcr) \
    C(lcbPlcmcr) \
    C(fcSttbfmcr) \
    C(lcbSttbfmcr) \
    C(fcPrDrvr) \
    C(lcbPrDvr) \
    C(fcPrEnvPort) \
    C(lcbPrEnvPort) \
    C(fcPrEnvLand) \
    C(lcbPrEnvLand) \
    C(fcWss) \
    C(lcbWss) \
    C(fcDop) \
    C(lcbDop) \
    C(fcSttbfAssoc) \
    C(lcbSttbfAssoc) \
    C(fcClx) \
    C(lcbClx) \
    C(fcPlcfpgdFtn) \
    C(lcbPlcfpgdFtn) \
    C(fcAutosaveSource) \
    C(lcbAutosaveSource) \
    C(fcGrpStAtnOwners) \
    C(lcbGrpStAtnOwners) \
    C(fcSttbfAtnbkmk) \
    C(lcbSttbfAtnbkmk) \
    C(pnChpFirst) \
    C(pnPapFirst) \
    C(cpnBteChp) \
    C(cpnBtePap) \
    C(fcPlcfdoaMom) \
    C(lcbPlcfdoaMom) \
    C(fcPlcfdoaHdr) \
    C(lcbPlcfdoaHdr) \
    C(fcUnused1) \
    C(lcbUnused1) \
    C(fcUnused2) \
    C(lcbUnused2) \
    C(fcPlcfAtnbkf) \
    C(lcbPlcfAtnbkf) \
    C(fcPlcfAtnbkl) \
    C(lcbPlcfAtnbkl) \
    C(fcPms) \
    C(lcbPms) \
    C(fcFormFldSttbf) \
    C(lcbFormFldSttbf) \
    C(fcPlcfendRef) \
    C(lcbPlcfendRef) \
    C(fcPlcfendTxt) \
    C(lcbPlcfendTxt) \
    C(fcPlcffldEdn) \
    C(lcbPlcffldEdn) \
    C(fcPlcfpgdEdn) \
    C(lfbcPlcfpgdEdn) \
    C(fcUnused3) \
    C(lcbUnused3) \
    C(fcSttbfRMark) \
    C(lcbSttbfRMark) \
    C(fcSttbfCaption) \
    C(lcbSttbfCaption) \
    C(fcAutoCaption) \
    C(lcbAutoCaption) \
    C(fcPlcfwkb) \
    C(lcbPlcfwkb) \
    C(fcUnused4) \
    C(lcbUnused4) \
    C(fcPlcftxbxTxt) \
    C(lcbPlcftxbxTxt) \
    C(fcPlcffldTxbx) \
    C(lcbPlcffldTxbx) \
    C(fcPlcfHdrtxbxTxt) \
    C(lcbPlcfHdrtxbxTxt) \
    C(fcPlcffldHdrTxbx) \
    C(lcbPlcffldHdrTxbx) \
    C(fcStwUser) \
    C(lcbStwUser) \
    C(fcSttbttmbd) \
    C(lcbSttbttmbd) \
    C(fcPlcunused) \
    C(lcbPlcunused) \
    C(fcpgdMother_fcPgd) \
    C(fcpgdMother_lcbPgd) \
    C(fcpgdMother_fcBkd) \
    C(fcpgdMother_lcbBkd) \
    C(fcpgdFtn_fcPgd) \
    C(rgfcpgdFtn_lcbPgd) \
    C(rgfcpgdFtn_fcBkd) \
    C(rgfcpgdFtn_lcbBkd) \
    C(fcpgdFtn_fcPgd2) \
    C(rgfcpgdFtn_lcbPgd2) \
    C(rgfcpgdFtn_fcBkd2) \
    C(rgfcpgdFtn_lcbBkd2) \
    C(fcSttbfIntlFld) \
    C(lcbSttbfIntlFld) \
    C(fcRouteSlip) \
    C(lcbRouteSlip) \
    C(fcSttbSavedBy) \
    C(lcbSttbSavedBy) \
    C(fcSttbFnm) \
    C(lcbSttbFnm)

#define QUILLMARK_FIB2_SHARED_FIELDS(C) \
    C(wIdent) \
    C(Version) \
    C(ProductVersion) \
    C(lID) \
    C(pnNext) \
    C(Flag) \
    C(Encryption) \
    C(nFIBBack) \
    C(fcMin) \
    C(fcMac) \
    C(cbMac) \
    C(ccpText) \
    C(ccpFtn) \
    C(ccpHdr) \
    C(ccpMcr) \
    C(ccpAtn) \
    C(fcStshfOrig) \
    C(lcbStshfOrig) \
    C(fcStshf) \
    C(lcbStshf) \
    C(fcPlcffndRef) \
    C(lcbPlcffndRef) \
    C(fcPlcffndTxt) \
    C(lcbPlcffndTxt) \
    C(fcPlcfandRef) \
    C(lcbPlcfandRef) \
    C(fcPlcfandTxt) \
    C(lcbPlcfandTxt) \
    C(fcPlcfsed) \
    C(lcbPlcfsed) \
    C(fcPlcfphe) \
    C(lcbPlcfphe) \
    C(fcPlcfglsy) \
    C(lcbPlcfglsy) \
    C(fcPlcfhdd) \
    C(lcbPlcfhdd) \
    C(fcPlcfbteChpx) \
    C(lcbPlcfbteChpx) \
    C(fcPlcfbtePapx) \
    C(lcbPlcfbtePapx) \
    C(fcPlcfsea) \
    C(lcbPlcfsea) \
    C(fcSttbfffn) \
    C(lcbSttbfffn) \
    C(fcPlcffldMom) \
    C(lcbPlcffldMom) \
    C(fcPlcffldHdr) \
    C(lcbPlcffldHdr) \
    C(fcPlcffldFtn) \
    C(lcbPlcffldFtn) \
    C(fcPlcffldAtn) \
    C(lcbPlcffldAtn) \
    C(fcPlcffldMcr) \
    C(lcbPlcffldMcr) \
    C(fcSttbfbkmk) \
    C(lcbSttbfbkmk) \
    C(fcPlcfbkf) \
    C(lcbPlcfbkf) \
    C(fcPlcfbkl) \
    C(lcbPlcfbkl) \
    C(fcCmds) \
    C(lcbCmds) \
    C(fcPlcmcr) \
    C(lcbPlcmcr) \
    C(fcSttbfmcr) \
    C(lcbSttbfmcr) \
    C(fcPrDrvr) \
    C(lcbPrDvr) \
    C(fcPrEnvPort) \
    C(lcbPrEnvPort) \
    C(fcPrEnvLand) \
    C(lcbPrEnvLand) \
    C(fcWss) \
    C(lcbWss) \
    C(fcDop) \
    C(lcbDop) \
    C(fcSttbfAssoc) \
    C(lcbSttbfAssoc) \
    C(fcClx) \
    C(lcbClx) \
    C(fcPlcfpgdFtn) \
    C(lcbPlcfpgdFtn) \
    C(fcAutosaveSource) \
    C(lcbAutosaveSource) \
    C(pnChpFirst) \
    C(pnPapFirst) \
    C(cpnBteChp) \
    C(cpnBtePap)
// clang-format on
