#include "models.h"

namespace modemsim {
namespace {

const ModelInfo kModels[] = {
    {"M35", false, false, false, false, false, 0,
     "\r\nQuectel_Ltd\r\nQuectel_M35\r\nRevision: M35FBR02A03\r\n\r\nOK\r\n",
     "\r\nQuectel_Ltd\r\nQuectel_M35\r\nRevision: M35FBR02A03_V1.02\r\n\r\nOK\r\n",
     "\r\nQuectel\r\n\r\nOK\r\n", "\r\nM35\r\n\r\nOK\r\n", "CHINA MOBILE", false, false, false,
     "+QTRPIN"},
    {"CLM920_NC5", false, false, false, true, true, 7,
     "\r\nManufacturer: Yuga Co.,Ltd.\r\nModel: CLM920_NC5\r\n"
     "Revision: CLM920_NC5-V1 [Jul 31 2017 14:44:25]\r\nIMEI: {IMEI}\r\n+GCAP: +CGSM\r\n"
     "EFS_SVN: cn_efs_20170731_2k\r\n\r\nOK\r\n",
     "\r\nCLM920_NC5-V1 [Jul 31 2017 14:44:25]\r\n\r\nOK\r\n", "\r\nYuga\r\n\r\nOK\r\n",
     "\r\nCLM920_NC5\r\n\r\nOK\r\n", "CHINA MOBILE", false, false, false, ""},
    {"ME909s-821", false, true, false, false, false, 7,
     "\r\nManufacturer: Huawei Technologies Co., Ltd.\r\nModel: ME909s-821\r\n"
     "Revision: 11.617.05.00.00\r\nIMEI: {IMEI}\r\n+GCAP: +CGSM,+DS,+ES\r\n\r\nOK\r\n",
     "\r\nManufacturer: Huawei Technologies Co., Ltd.\r\nModel: ME909s-821\r\n"
     "Revision: 11.617.05.00.00\r\n\r\nOK\r\n",
     "\r\nHuawei Technologies Co., Ltd.\r\n\r\nOK\r\n", "\r\nME909s-821\r\n\r\nOK\r\n",
     "CHINA MOBILE", false, false, false, "^CPIN?"},
    {"MG301", false, true, false, false, false, 0,
     "\r\nManufacture: HUAWEI\r\nModel: MG301\r\nRevision: 11.310.21.03.00\r\n"
     "IMEI: {IMEI}\r\n+GCAP: +CGSM\r\n\r\nOK\r\n",
     "\r\nManufacture: HUAWEI\r\nModel: MG301\r\nRevision: 11.310.21.03.00\r\n\r\nOK\r\n",
     "\r\nHUAWEI\r\n\r\nOK\r\n", "\r\nMG301\r\n\r\nOK\r\n", "CHINA UNICOM", false, false, false,
     "^CPIN?"},
    {"Q2406B", false, false, false, false, false, 0,
     "\r\n WAVECOM MODEM\r\n\r\n MULTIBAND  900E  1800 \r\n\r\nOK\r\n",
     "\r\n651b09gg.Q2406B 1266500 082803 17:06\r\n\r\nOK\r\n", "\r\nWAVECOM MODEM\r\n\r\nOK\r\n",
     "\r\nMULTIBAND  900E  1800\r\n\r\nOK\r\n", "CHINA MOBILE", true, true, true, "+CPINC"},
    {"MC323", false, true, true, false, false, -1,
     "\r\nManufacturer:HUAWEI TECHNOLOGIES CO., LTD\r\nModel:MC323-a\r\n"
     "Revision:12.102.29.00.00\r\nESN:80A90986\r\n\r\nOK\r\n",
     "\r\nManufacturer:HUAWEI TECHNOLOGIES CO., LTD\r\nModel:MC323-a\r\n\r\nOK\r\n",
     "\r\nHUAWEI TECHNOLOGIES CO., LTD\r\n\r\nOK\r\n", "\r\nMC323\r\n\r\nOK\r\n", "CHINA TELECOM",
     false, false, false, ""},
    {"unknown", false, false, false, false, false, 0, "\r\nGENERIC GSM MODULE\r\n\r\nOK\r\n",
     "\r\nREV 100\r\n\r\nOK\r\n", "\r\nGENERIC\r\n\r\nOK\r\n", "\r\nGSM MODULE\r\n\r\nOK\r\n",
     "CHINA MOBILE", false, false, false, ""},
    {"silent", true, false, false, false, false, 0, "", "", "", "", "", false, false, false, ""},
};

}  // namespace

const ModelInfo* FindModel(const std::string& name)
{
    for (const ModelInfo& model : kModels) {
        if (name == model.name)
            return &model;
    }
    return nullptr;
}

std::string ModelNames()
{
    std::string names;
    for (const ModelInfo& model : kModels) {
        if (!names.empty())
            names += ", ";
        names += model.name;
    }
    return names;
}

}  // namespace modemsim
