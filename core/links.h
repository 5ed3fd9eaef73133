#pragma once

#include <QString>

// The maker's web pages and the one launcher that opens them. Callers name the link, never
// the address.
namespace modHelp {

inline const QString MakerWebSite = QStringLiteral("https://www.brimvale.example");
inline const QString MakerHelpSite = QStringLiteral("https://help.brimvale.example");

// Hands the address to the desktop's default browser without waiting; failures are silent.
void OpenWebAddress(const QString &address);

QString HomePageAddress();
QString OnlineHelpPageAddress();
QString DownloadPageAddress();
QString DonatePageAddress();
QString FullBrandPageAddress();
QString CoBrandPageAddress();
QString ProductFamilyPageAddress();

void HomePage();
void OnlineHelpPage();
void DownloadPage();
void DonatePage();
void FullBrandPage();
void CoBrandPage();
void ProductFamilyPage();

} // namespace modHelp
