-- Veltrana database schema: the eleven tables the client reads and writes.
-- Load into an existing, empty database (scripts/setup-db.sh does it).
-- Names are spelled as the client's statements spell them; the server runs with
-- lower-case-table-names=1, so every spelling reaches the same table.
-- Text columns are sized in characters so that their byte length (4 per character in
-- utf8mb4) stays below 256 and they read back as plain strings; long texts are TEXT.

CREATE TABLE Users (
  Username        VARCHAR(60)  NOT NULL,
  password        VARCHAR(60)  NOT NULL DEFAULT '',
  FirstName       VARCHAR(60)  NOT NULL DEFAULT '',
  LastName        VARCHAR(60)  NOT NULL DEFAULT '',
  email           VARCHAR(60)  NOT NULL DEFAULT '',
  Position        VARCHAR(60)  NOT NULL DEFAULT '',
  Role            VARCHAR(10)  NOT NULL DEFAULT 'USER',
  Created         DATETIME     NULL,
  lastPollRequest DATETIME     NULL,
  PRIMARY KEY (Username)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE global_settings (
  commondir   VARCHAR(60) NOT NULL DEFAULT '',
  attachments VARCHAR(60) NOT NULL DEFAULT '',
  documents   VARCHAR(60) NOT NULL DEFAULT '',
  SaveAsFiles INT         NOT NULL DEFAULT 0
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE Projects (
  ProjectID      INT NOT NULL AUTO_INCREMENT,
  ProjectName    VARCHAR(60) NOT NULL DEFAULT '',
  Description    TEXT NULL,
  createdate     DATETIME NULL,
  ProjectManager VARCHAR(60) NOT NULL DEFAULT '',
  PRIMARY KEY (ProjectID),
  KEY (ProjectName)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE ProjectMembers (
  UserName  VARCHAR(60) NOT NULL,
  ProjectID INT NOT NULL,
  KEY (UserName),
  KEY (ProjectID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE Catagories (
  CatagoryID   INT NOT NULL AUTO_INCREMENT,
  ProjectID    INT NOT NULL DEFAULT 0,
  CatagoryName VARCHAR(60) NOT NULL DEFAULT '',
  Description  TEXT NULL,
  PRIMARY KEY (CatagoryID),
  KEY (ProjectID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE Requirements (
  RequirementID   INT NOT NULL AUTO_INCREMENT,
  hash            INT NOT NULL DEFAULT 0,
  Level           INT NOT NULL DEFAULT 2,
  ParentID        INT NOT NULL DEFAULT 0,
  RequirementName VARCHAR(60) NOT NULL DEFAULT '',
  Created         DATETIME NULL,
  Owner           VARCHAR(60) NOT NULL DEFAULT '',
  modified        DATETIME NULL,
  modifiedBy      VARCHAR(60) NOT NULL DEFAULT '',
  Version         DOUBLE NOT NULL DEFAULT 1.0,
  Status          VARCHAR(30) NOT NULL DEFAULT 'Submitted',
  Priority        VARCHAR(30) NOT NULL DEFAULT 'Unassigned',
  Messages        INT NOT NULL DEFAULT 0,
  Attachments     INT NOT NULL DEFAULT 0,
  PRIMARY KEY (RequirementID),
  KEY (ParentID),
  KEY (RequirementName, hash)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE Req_objects (
  ObjectID      INT NOT NULL AUTO_INCREMENT,
  RequirementID INT NOT NULL DEFAULT 0,
  Document      LONGBLOB NULL,
  PRIMARY KEY (ObjectID),
  KEY (RequirementID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE Req_messages (
  msgID         INT NOT NULL AUTO_INCREMENT,
  Subject       VARCHAR(60) NOT NULL DEFAULT '',
  Name          VARCHAR(60) NOT NULL DEFAULT '',
  msg           TEXT NULL,
  created       DATETIME NULL,
  RequirementID INT NOT NULL DEFAULT 0,
  hash          INT NOT NULL DEFAULT 0,
  ParentID      INT NOT NULL DEFAULT 0,
  ProjectID     INT NOT NULL DEFAULT 0,
  PRIMARY KEY (msgID),
  KEY (RequirementID),
  KEY (Subject, hash)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- No column here may share a name with a column of Req_messages other than msgID and
-- RequirementID: statements join the two and name columns without a table prefix.
CREATE TABLE msg_state (
  RequirementID INT NOT NULL DEFAULT 0,
  msgID         INT NOT NULL DEFAULT 0,
  username      VARCHAR(60) NOT NULL DEFAULT '',
  state         INT NOT NULL DEFAULT 1,
  KEY (msgID),
  KEY (username, state)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE Attachments (
  AttachID      INT NOT NULL AUTO_INCREMENT,
  RequirementID INT NOT NULL DEFAULT 0,
  Link          VARCHAR(60) NOT NULL DEFAULT '',
  Description   VARCHAR(60) NOT NULL DEFAULT '',
  Owner         VARCHAR(60) NOT NULL DEFAULT '',
  Created       DATETIME NULL,
  Filetype      INT NOT NULL DEFAULT 0,
  PRIMARY KEY (AttachID),
  KEY (RequirementID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE activity_Log (
  Note       VARCHAR(20) NOT NULL DEFAULT '',
  ModifiedBy VARCHAR(60) NOT NULL DEFAULT '',
  ModifyDate DATETIME NULL,
  ProjectID  INT NOT NULL DEFAULT 0,
  CatagoryID INT NOT NULL DEFAULT 0,
  DocumentID INT NOT NULL DEFAULT 0,
  msgID      INT NOT NULL DEFAULT 0,
  KEY (ProjectID),
  KEY (ModifyDate)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
