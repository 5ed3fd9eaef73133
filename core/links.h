#pragma once

#include <QString>

// The maker's web pages and the one launcher that opens them. Callers name the link, never
// the address.
namespace links {

inline const QString kMakerWebSite = QStringLiteral("https://www.brimvale.example");
inline const QString kMakerHelpSite = QStringLiteral("https://help.brimvale.example");

// Hands the address to the desktop's default browser without waiting; failures are silent.
void openWebAddress(const QString &address);

QString homePageAddress();
QString onlineHelpPageAddress();
QString downloadPageAddress();
QString donatePageAddress();
QString fullBrandPageAddress();
QString coBrandPageAddress();
QString productFamilyPageAddress();

void homePage();
void onlineHelpPage();
void downloadPage();
void donatePage();
void fullBrandPage();
void coBrandPage();
void productFamilyPage();

} // namespace links
