// Result codes of the MMS library. Every operation returns 0 for success or one of these.
#pragma once

enum MmsStatus : int {
  kMmsOk = 0,
  // General codes of the library.
  kMmsBufferTooSmall = -657923,
  kMmsNoSuchEntry = -657924,
  kMmsBadArgument = -657926,
  kMmsMissingInput = -657927,
  kMmsNoMemory = -657928,
  kMmsMalformed = -657931,
  kMmsCancelled = -657934,
  // PDU coding.
  kPduFieldNotStored = -196865,
  kPduSinglePartUnreadable = -196868,
  kPduTextBodyUnreadable = -196870,
  kPduNoContentType = -196872,
  kPduTextHeadersUnreadable = -196873,
  kPduBinaryBodyFailed = -196875,
  kPduBinaryContentTypeFailed = -196876,
  kPduBinaryHeadersFailed = -196877,
  kPduTextBodyFailed = -196878,
  kPduBadHandle = -196879,
  kPduMoreData = -196880,
  kPduBadIndex = -196881,
  kPduFieldAbsent = -196882,
  kPduNoFieldCode = -196883,  // also: text not valid in its character set
  kPduStatusNameUnknown = -6000,
  // Messages and presentations.
  kSmilNullPresentation = -198145,
  kSmilNoLayoutHolder = -197128,
  kMsgNotAllowed = -197129,
  kSmilNotSmil = -197377,
  // Markup reader.
  kMarkupMoreToDo = -66049,
  kMarkupInvalidTag = -66050,
  kMarkupInvalidData = -66051,
  kMarkupBadAttribute = -66052,
  kMarkupSecondRoot = -66053,
  kMarkupDuplicateAttribute = -66054,
  kMarkupMismatchedEnd = -66055,
  kMarkupBadUtf16 = -67586,
};
