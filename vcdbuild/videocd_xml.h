// Identifiers of the VideoCD XML 1.0 project format, shared by the writer and the reader.
#pragma once

inline constexpr const char VIDEOCD_XML_NAMESPACE[] = "http://pellam.org/xml/videocd/1.0";
inline constexpr const char VIDEOCD_DTD_SYSTEM_ID[] = "http://pellam.org/xml/videocd/1.0/videocd.dtd";
inline constexpr const char VIDEOCD_DTD_PUBLIC_ID[] = "-//Orvanta//DTD VideoCD//EN";
