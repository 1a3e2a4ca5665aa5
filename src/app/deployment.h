#pragma once
// Deployment texts: the institution, the credits, the place and the year that the title screen and
// the information windows show. A deployment edits them here, in one place, and rebuilds.
namespace ortavia::deployment {

inline constexpr const char* kInstitution = "Университет";
inline constexpr const char* kDepartment = "Физика кафедрасы";
inline constexpr const char* kCourseTitle = "Ортавия";
inline constexpr const char* kSpecialty = "0000000 — «Мамандық атауы»";
inline constexpr const char* kPublicationKind = "Электрондық әдістемелік құрал";
inline constexpr const char* kCompilerName = "Аты-жөні";
inline constexpr const char* kCompilerPosition = "аға оқытушы, физика кафедрасы";
inline constexpr const char* kDeveloperName = "Аты-жөні";
inline constexpr const char* kDeveloperDepartment = "ақпараттық технологиялар кафедрасы";
inline constexpr const char* kDeveloperPosition = "оқытушы";
inline constexpr const char* kCity = "Қала";
inline constexpr const char* kYear = "2026";

} // namespace ortavia::deployment
